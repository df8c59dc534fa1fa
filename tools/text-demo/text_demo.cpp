// text-demo: draws mixed Latin, pinyin and Chinese styled text (bold,
// italic, underline, links, colour, an enlarged size, hidden spans) through
// the text service in font slot 0, word-wrapped to the window.
//
//   text-demo [--shot PNG] [FONT_DEVICE_PATH...]
//
// Without paths the fonts `make data` installs are used, in start-up's
// order. With --shot the screen is saved as a PNG once drawn, and the
// program ends.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dict_engine.h"
#include "engine/engine_host.h"
#include "platform/core.h"
#include "platform/ui.h"
#include "toolkit/app_context.h"
#include "toolkit/draw_context.h"
#include "toolkit/font_slot.h"
#include "toolkit/text_service.h"

namespace {

constexpr UINT_PTR kShotTimer = 1;

std::u16string Coded(char16_t code, uint32_t n) {
  return std::u16string{code, static_cast<char16_t>(0x8000 | (n >> 15)), static_cast<char16_t>(0x8000 | (n & 0x7FFF))};
}

// A definition page as the entry formatter writes one.
std::u16string PageText() {
  std::u16string red = Coded(0xEAC1, 0xD00000), green = Coded(0xEAC1, 0x00A000), blue = Coded(0xEAC1, 0x0000D0);
  return u"\uEAB2中文\uEAB3 " + red + u"zhōng" + u"\uEAC2" + blue + u"wén\uEAC2 ㄓㄨㄥ ㄨㄣˊ\n" +
         u"\uEAB4Chinese language\uEAB5; \uEAB6written\uEAB7 Chinese ① ② ⑪ ⑳\n" + Coded(0xEAC5, 40) + u"龍" +
         u"\uEAC6 " + green + u"lóng\uEAC2 dragon, \uEAB8see also\uEABB 龙¹ 龙² …\n" +
         u"\uEAB2Bold pinyin: nǚ lǜ lüè Ǖ Ǘ Ǚ Ǜ\uEAB3 x" + Coded(0xEAC3, 1) + u"hidden\uEAC4y · ∼ 「引号」（括号）\n" +
         u"A long English line that wraps at the window's edge, with 中文字符 in the middle, to show the "
         u"break rules at spaces and after Han characters: 一二三四五六七八九十。";
}

struct Demo {
  DictEngine* engine = nullptr;
  DrawContext* context = nullptr;
  std::string shot;
};
Demo gDemo;

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
  RECT client;
  GetClientRect(hwnd, &client);
  FillShortRect(gDemo.context, RectToShortRect(client), 0xFFFFFF);
  const std::u16string text = PageText();
  const uint16_t size = 14 * 2;  // 14 px at 96 dpi on the 192-dpi screen
  int y = 4, width = client.right - 8;
  TextStyleState style{};
  size_t at = 0;
  while (at < text.size() && y < client.bottom) {
    TextStyleState start = style;
    uint16_t n = FindLineBreak(gDemo.engine, 0, size, text.c_str() + at, width, &style);
    if (n == 0) break;
    TextStyleState measure = start;
    uint16_t height = GetTextLineHeight(gDemo.engine, 0, size, text.c_str() + at, n, &measure);
    TextStyleState draw = start;
    DrawStyledText(gDemo.engine, gDemo.context, 0, size, text.c_str() + at, n, 4, y, height, &draw, 0x000000, 0xFFFFFF);
    y += height;
    at += n;
  }
}

LRESULT DemoProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_TIMER:
      if (wParam == kShotTimer) {
        KillTimer(hwnd, kShotTimer);
        UpdateWindow(hwnd);
        std::printf("shot %s %s\n", gDemo.shot.c_str(), SaveScreenPng(gDemo.shot.c_str()) ? "ok" : "failed");
        PostQuitMessage(0);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--shot" && i + 1 < argc) gDemo.shot = argv[++i];
    else
      paths.push_back(a);
  }
  if (paths.empty())
    for (const char* name : {"tahoma.ttf", "tahomabd.ttf", "SorviExtra.ttf", "SorviExtraBold.ttf", "ZYSong.ttf"})
      paths.push_back(std::string("\\Program Files\\Sorvi\\") + name);
  InitUiThread();
  std::vector<const char*> pointers;
  for (const std::string& p : paths) pointers.push_back(p.c_str());
  EngineHost host{};
  SetFontSlotHost(&host);
  EngineParams params{};
  params.fontFiles = pointers.data();
  params.fontFileCount = static_cast<uint16_t>(pointers.size());
  params.noFlashcards = 1;
  params.dataOnly = 1;
  params.host = &host;
  gDemo.engine = CreateEngine(nullptr, 0, &params);
  if (!gDemo.engine || gDemo.engine->fontSlotCount == 0) {
    std::fprintf(stderr, "text-demo: no font slot\n");
    return 1;
  }
  AppContext app{};
  app.engine = gDemo.engine;
  app.dpiFactor = static_cast<uint16_t>(3 * GetDeviceCaps(nullptr, LOGPIXELSX) / 96);
  AppContextPointer = &app;
  AppInstance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DemoProc;
  wc.lpszClassName = u"SorviTextDemo";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, u"Text Demo", WS_POPUP | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) return 1;
  gDemo.context = NewDrawContext(hwnd, AppInstance);
  if (!gDemo.shot.empty()) SetTimer(hwnd, kShotTimer, 500, nullptr);
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  FreeDrawContext(gDemo.context);
  FreeEngineSaveBlock(DestroyEngine(gDemo.engine));
  StopBackend();
  return 0;
}
