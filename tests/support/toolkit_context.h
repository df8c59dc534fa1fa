// What the toolkit's tests share: the test fonts placed under a device
// root of the test's own, and a test AppContext (the record start-up would
// make) over an engine with one font slot. Header-only, so that only the
// test programs that use the toolkit link it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/resources.h"
#include "tests/support/temp_device_root.h"
#include "toolkit/app_context.h"
#include "toolkit/font_slot.h"

namespace toolkit_test {

// The host path of a font file of the machine, or "" when it is absent.
// Debian's packages put them under /usr/share/fonts; other places are tried
// for machines that keep them elsewhere.
inline std::string FindSystemFont(const char* fileName) {
  static const char* const kRoots[] = {"/usr/share/fonts", "/usr/local/share/fonts", "/usr/share/fonts/truetype"};
  std::error_code ec;
  for (const char* root : kRoots) {
    if (!std::filesystem::is_directory(root, ec)) continue;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->path().filename() == fileName) return it->path().string();
    }
  }
  return "";
}

// The fonts the tests draw with: DejaVu Sans in three styles and face 0 of
// WenQuanYi Zen Hei (the CJK face `make data` installs). The pinned fixture
// files are small subsets committed in tests/support/fonts/ (cut by
// tools/fixture-fonts/make_fixture_fonts.sh), so expected advances and pixels
// do not move with the machine's font packages. They cover what the tests
// draw: ASCII, Latin-1, the pinyin letters, circled 1 to 20 (DejaVu 1 to 10),
// the zhuyin letters, CJK and full-width punctuation and a few dozen Han
// characters. The system files are the packages' full fonts, for the checks
// that need everything the program shows (fonts-dejavu-core,
// fonts-dejavu-extra and fonts-wqy-zenhei, which `make test` installs).
enum TestFont { kLatin, kLatinBold, kLatinOblique, kCjk, kTestFontCount };
enum class TestFontSource { kFixture, kSystem };
inline const char* TestFontFile(TestFont f) {
  static const char* const kFiles[] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSans-Oblique.ttf",
                                       "wqy-zenhei.ttc"};
  return kFiles[f];
}
inline std::string FixtureFontPath(TestFont f) {
  static const char* const kFiles[] = {"DejaVuSans-subset.ttf", "DejaVuSans-Bold-subset.ttf",
                                       "DejaVuSans-Oblique-subset.ttf", "wqy-zenhei-subset.ttf"};
  return std::string(SORVI_FIXTURE_FONTS) + "/" + kFiles[f];
}

// Puts the fonts under "\Windows\Fonts" of a device root of the test's own
// (links, or copies where links cannot be made) and hands out their UTF-8
// device paths.
class TestFonts {
 public:
  explicit TestFonts(TestFontSource source = TestFontSource::kFixture) {
    std::filesystem::create_directories(root_.Host("Windows/Fonts"));
    for (int f = 0; f < kTestFontCount; ++f) {
      TestFont font = static_cast<TestFont>(f);
      std::error_code ec;
      std::string host =
          source == TestFontSource::kFixture ? FixtureFontPath(font) : FindSystemFont(TestFontFile(font));
      present_[f] = !host.empty() && std::filesystem::is_regular_file(host, ec);
      if (present_[f]) Place(host, TestFontFile(static_cast<TestFont>(f)));
    }
  }
  bool Has(TestFont f) const { return present_[f]; }
  std::string Path(TestFont f) const { return DevicePath(TestFontFile(f)); }
  // "\Windows\Fonts\<name>".
  static std::string DevicePath(const std::string& name) { return "\\Windows\\Fonts\\" + name; }
  // Places a host file (or writes bytes) under "\Windows\Fonts".
  void Place(const std::string& host, const std::string& name) const {
    std::error_code ec;
    std::filesystem::path to = root_.Host("Windows/Fonts/" + name);
    std::filesystem::create_symlink(host, to, ec);
    if (ec) std::filesystem::copy_file(host, to, std::filesystem::copy_options::overwrite_existing, ec);
  }
  std::string HostPath(const std::string& name) const { return root_.Host("Windows/Fonts/" + name); }
  const TempDeviceRoot& root() const { return root_; }

 private:
  TempDeviceRoot root_;
  bool present_[kTestFontCount] = {};
};

// An engine without data files whose font slot 0 is made from `paths`
// through the real font-slot host, with a text scale, and an AppContext
// over it set as AppContextPointer (the globals come back afterwards).
// Resolution factor 3 is the 96-dpi screen, 6 the 192-dpi one.
class TestAppContext {
 public:
  TestAppContext(const std::vector<std::string>& paths, uint16_t dpiFactor, uint32_t scaleNumerator = 0,
                 uint32_t scaleDenominator = 0)
      : paths_(paths) {
    SetFontSlotHost(&host_);
    for (const std::string& p : paths_) pathPointers_.push_back(p.c_str());
    EngineParams params{};
    params.fontFiles = pathPointers_.data();
    params.fontFileCount = static_cast<uint16_t>(pathPointers_.size());
    params.noFlashcards = 1;
    params.dataOnly = 1;
    params.host = &host_;
    params.scaleNumerator = scaleNumerator;
    params.scaleDenominator = scaleDenominator;
    engine_ = CreateEngine(nullptr, 0, &params);
    context_.engine = engine_;
    context_.dpiFactor = dpiFactor;
    context_.iconSize = dpiFactor <= 3 ? 16 : dpiFactor == 4 ? 22 : 32;
    context_.fontId = 0;
    previous_ = AppContextPointer;
    previousInstance_ = AppInstance;
    AppContextPointer = &context_;
    AppInstance = GetModuleHandleW(nullptr);
  }
  ~TestAppContext() {
    AppContextPointer = previous_;
    AppInstance = previousInstance_;
    if (engine_) FreeEngineSaveBlock(DestroyEngine(engine_));
  }
  TestAppContext(const TestAppContext&) = delete;
  TestAppContext& operator=(const TestAppContext&) = delete;

  DictEngine* engine() const { return engine_; }
  AppContext& context() { return context_; }

 private:
  std::vector<std::string> paths_;
  std::vector<const char*> pathPointers_;
  EngineHost host_{};
  DictEngine* engine_ = nullptr;
  AppContext context_{};
  AppContext* previous_ = nullptr;
  HINSTANCE previousInstance_ = nullptr;
};

}  // namespace toolkit_test
