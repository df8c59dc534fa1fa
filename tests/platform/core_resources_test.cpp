#include <cstring>

#include "core_fixture.h"

namespace {

const char kSpellings[] = "a     ai    an    ";
const BYTE kBitmap[] = {1, 2, 3};

TEST(Resources, TypedResourcesByNumberAndName) {
  RegisterResource(u"ASTR", 6013, kSpellings, 18);
  RegisterResource(RT_BITMAP, 6013, kBitmap, sizeof kBitmap);
  HMODULE module = GetModuleHandleW(nullptr);
  EXPECT_NE(module, nullptr);

  HRSRC r = FindResourceW(module, MAKEINTRESOURCEW(6013), u"astr");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(SizeofResource(module, r), 18u);
  EXPECT_EQ(LockResource(LoadResource(module, r)), static_cast<const void*>(kSpellings));

  HRSRC bitmap = FindResourceW(nullptr, u"#6013", RT_BITMAP);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_NE(bitmap, r);
  EXPECT_EQ(std::memcmp(LockResource(LoadResource(nullptr, bitmap)), kBitmap, 3), 0);

  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(6014), u"ASTR"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(6013), u"NONE"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(6013), RT_DIALOG), nullptr);

  RegisterNamedResource(u"USTR", u"Finals", kBitmap, 2);
  HRSRC named = FindResourceW(module, u"FINALS", u"ustr");
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(SizeofResource(module, named), 2u);
  // Re-registering replaces the entry.
  RegisterResource(u"ASTR", 6013, kBitmap, 1);
  EXPECT_EQ(SizeofResource(module, FindResourceW(module, MAKEINTRESOURCEW(6013), u"ASTR")), 1u);
  EXPECT_EQ(SizeofResource(module, reinterpret_cast<HRSRC>(static_cast<ULONG_PTR>(0xFFFFFF))), 0u);
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEW(6013)));
  EXPECT_FALSE(IS_INTRESOURCE(u"ASTR"));
}

TEST(Resources, LoadStringCopiesOrPointsAtTheText) {
  RegisterStringResource(101, u"No Dictionaries Found");
  WCHAR buffer[8];
  EXPECT_EQ(LoadStringW(nullptr, 101, buffer, 8), 7);
  EXPECT_EQ(Narrow(buffer), "No Dict");
  WCHAR big[64];
  EXPECT_EQ(LoadStringW(nullptr, 101, big, 64), 21);
  EXPECT_EQ(Narrow(big), "No Dictionaries Found");

  LPCWSTR direct = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, 101, reinterpret_cast<LPWSTR>(&direct), 0), 21);
  ASSERT_NE(direct, nullptr);
  EXPECT_EQ(Narrow(direct), "No Dictionaries Found");

  big[0] = u'x';
  EXPECT_EQ(LoadStringW(nullptr, 102, big, 64), 0);
  EXPECT_EQ(big[0], 0);

  RegisterStringResource(101, u"Changed");
  EXPECT_EQ(LoadStringW(nullptr, 101, big, 64), 7);
  EXPECT_EQ(Narrow(direct), "No Dictionaries Found");  // earlier pointers stay valid
}

}  // namespace

namespace {

TEST(SystemInfo, SystemErrorTexts) {
  WCHAR text[256];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 ERROR_SHARING_VIOLATION, 0, text, 256, nullptr);
  EXPECT_EQ(n, WideLength(text));
  EXPECT_EQ(Narrow(text), "The process cannot access the file because it is being used by another process.\r\n");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, text, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  LPWSTR allocated = nullptr;
  ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 99999, 0,
                           reinterpret_cast<LPWSTR>(&allocated), 0, nullptr),
            0u);
  ASSERT_NE(allocated, nullptr);
  EXPECT_EQ(Narrow(allocated), "Error 99999.\r\n");
  EXPECT_EQ(LocalFree(allocated), nullptr);
  SystemIdleTimerReset();
}

}  // namespace
