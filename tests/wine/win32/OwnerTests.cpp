// Every owner keeps the thread's last error through every reset, put, move
// and destruction: cleanup on a failure path must not hide the error that
// caused it. Each owner holds something whose release changes the last
// error.
#include <gtest/gtest.h>

#include <utility>

#include "win32/ComObject.h"
#include "win32/Handles.h"
#include "win32/TempFile.h"
#include "win32/Variant.h"

using namespace corvisk;

namespace {

constexpr DWORD kCallerError = 0x2222;
constexpr DWORD kReleaseNoise = 0x1111;

struct NoisyClose {
  void operator()(int) const { SetLastError(kReleaseNoise); }
};
using noisy_owner = unique_any<int, 0, NoisyClose>;

struct NoisyFileTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE) { SetLastError(kReleaseNoise); }
};

class NoisyObject final : public ComObject<IUnknown> {
 public:
  ULONG STDMETHODCALLTYPE Release() override {
    SetLastError(kReleaseNoise);
    return ComObject::Release();
  }

 protected:
  void* Find(REFIID iid) override { return iid == IID_IUnknown ? static_cast<IUnknown*>(this) : nullptr; }
};

template <typename Owner, typename Hold>
void ExpectLastErrorSurvives(const char* owner, Hold hold) {
  SCOPED_TRACE(owner);
  const auto expectKept = [](const char* step) { EXPECT_EQ(GetLastError(), kCallerError) << step; };
  Owner held;
  hold(held);
  SetLastError(kCallerError);
  held.reset();
  expectKept("reset");
  hold(held);
  SetLastError(kCallerError);
  held.put();
  expectKept("put");
  {
    Owner other;
    hold(other);
    SetLastError(kCallerError);
    held = std::move(other);
    expectKept("move assignment over a held value");
  }
  {
    Owner moved(std::move(held));
    SetLastError(kCallerError);
  }
  expectKept("destruction after a move");
}

TEST(OwnerTest, LastErrorSurvivesEveryMoveAndReset) {
  ExpectLastErrorSurvives<noisy_owner>("unique_any", [](noisy_owner& o) { o.reset(1); });
  using noisy_file = unique_resource<HANDLE, NoisyFileTraits>;
  ExpectLastErrorSurvives<noisy_file>("unique_hfile's owner",
                                      [](noisy_file& o) { o.reset(reinterpret_cast<HANDLE>(0x100)); });
  ExpectLastErrorSurvives<com_ptr<IUnknown>>("com_ptr", [](com_ptr<IUnknown>& o) {
    ASSERT_EQ(CreateComObject<NoisyObject>(IID_IUnknown, o.put_void()), S_OK);
  });
  ExpectLastErrorSurvives<unique_variant>("unique_variant", [](unique_variant& o) {
    VARIANT* value = o.put();
    value->vt = VT_UNKNOWN;
    ASSERT_EQ(CreateComObject<NoisyObject>(IID_IUnknown, reinterpret_cast<void**>(&value->punkVal)), S_OK);
  });
  ExpectLastErrorSurvives<unique_bstr>("unique_bstr", [](unique_bstr& o) { o.reset(SysAllocString(L"text")); });
}

TEST(OwnerTest, FileOwnerHandsOutItsSlotAfterClosingTheOldHandle) {
  wchar_t folder[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, folder);
  const std::wstring path = std::wstring(folder) + L"owner-test.tmp";
  unique_hfile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  ASSERT_TRUE(file);
  HANDLE* slot = file.put();
  EXPECT_EQ(*slot, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file);
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the old handle was closed";
}

// A temporary file that is already gone fails its deletion with an error of
// its own; the owner keeps the caller's.
TEST(OwnerTest, TempFileOwnerKeepsLastErrorWhenItsFileIsGone) {
  unique_temp_file file("C:\\owner-test-never-created.tmp");
  SetLastError(kCallerError);
  file.reset();
  EXPECT_EQ(GetLastError(), kCallerError);
}

}  // namespace
