// Reading records when the storage misbehaves: a lost handle (errors 6 and
// 1617) reopens the file by path and reads again; any other failure gives a
// zero-filled record, never stale or foreign bytes.
#include "platform/errors.h"
#include "platform/files.h"
#include "tests/converter/reader_fixture.h"

namespace reader_test {
namespace {

using namespace converter;

struct RetryCase {
  const char* what;
  FileCall call;
  DWORD error;
  bool recovers;  // true: the record reads whole; false: zero-filled
};

const RetryCase kRetryCases[] = {
    {"read: invalid handle", FileCall::ReadFile, ERROR_INVALID_HANDLE, true},
    {"read: device removed", FileCall::ReadFile, ERROR_DEVICE_REMOVED, true},
    {"seek: device removed", FileCall::SetFilePointer, ERROR_DEVICE_REMOVED, true},
    {"read: access denied", FileCall::ReadFile, ERROR_ACCESS_DENIED, false},
    {"seek: invalid parameter", FileCall::SetFilePointer, ERROR_INVALID_PARAMETER, false},
};

TEST_F(ReaderTest, LostHandlesReopenOtherFailuresGiveZeros) {
  const std::vector<firstgen::Bytes> records = {{1, 2, 3}, {0xAB, 0xCD, 0xEF, 0x12}, {9}};
  const std::u16string container = Put("retry.pdb", firstgen::WriteContainer(records));
  const std::u16string bundle = Put("retry.kve", firstgen::WriteBundle(records));
  for (const RetryCase& c : kRetryCases) {
    for (bool isBundle : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (isBundle ? " (bundle)" : " (container)"));
      FirstGenDatabaseFile* file = isBundle ? nullptr : OpenFirstGenDatabaseFile(container.c_str());
      FirstGenBundle* b = isBundle ? OpenFirstGenBundle(bundle.c_str()) : nullptr;
      ASSERT_TRUE(file || b);
      InjectFileError(c.call, 1, c.error);
      FirstGenRecord* r = isBundle ? ReadFirstGenBundleMember(b, 1) : ReadFirstGenFileRecord(file, 1);
      ClearFileErrorInjection();
      ASSERT_NE(r, nullptr);
      ASSERT_EQ(r->size, 4u);
      const firstgen::Bytes got(r->data, r->data + r->size);
      EXPECT_EQ(got, c.recovers ? records[1] : firstgen::Bytes(4, 0));
      FreeFirstGenRecord(r);
      // The file stays usable.
      r = isBundle ? ReadFirstGenBundleMember(b, 2) : ReadFirstGenFileRecord(file, 2);
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r->data[0], 9);
      FreeFirstGenRecord(r);
      CloseFirstGenDatabaseFile(file);
      CloseFirstGenBundle(b);
    }
  }
  EXPECT_EQ(GetOpenFileHandleCount(), 0u);
}

}  // namespace
}  // namespace reader_test
