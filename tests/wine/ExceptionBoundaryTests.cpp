// The exception boundary: what each contract returns and leaves in the last
// error when the body returns and when it throws.
#include <gtest/gtest.h>

#include <stdexcept>

#include "win32/ExceptionBoundary.h"

using namespace corvisk;

namespace {

constexpr DWORD kUntouched = 0xdeadbeef;

TEST(ExceptionBoundaryTest, LastErrorIsTheBodysValueSetAtTheBoundary) {
  SetLastError(kUntouched);
  EXPECT_TRUE(ReturnWithLastError("trace", [] {
    SetLastError(ERROR_FILE_NOT_FOUND);  // what a trace inside may leave
    return DWORD{0};
  }));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_FALSE(ReturnWithLastError("trace", [] { return DWORD{ERROR_ACCESS_DENIED}; }));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // A failure that recorded no code keeps both values as they are.
  EXPECT_FALSE(ReturnWithLastError("trace", [] { return BoolResult{FALSE, 0}; }));
  EXPECT_EQ(GetLastError(), 0u);
}

TEST(ExceptionBoundaryTest, ThrowingBodyFailsWithUnexpectedOrLeavesTheLastErrorWithoutTrace) {
  const auto thrower = []() -> DWORD {
    SetLastError(ERROR_FILE_NOT_FOUND);
    throw std::runtime_error("inside");
  };
  SetLastError(kUntouched);
  EXPECT_FALSE(ReturnWithLastError("\r\nboundary test - exception\r\n", thrower));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(E_UNEXPECTED));
  SetLastError(kUntouched);
  EXPECT_FALSE(ReturnWithLastError(nullptr, thrower));
  EXPECT_EQ(GetLastError(), kUntouched);
}

TEST(ExceptionBoundaryTest, HresultFormsMapWhatIsThrown) {
  EXPECT_EQ(ReturnHresult([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
  EXPECT_EQ(ReturnHresult([]() -> HRESULT { throw 1; }), E_UNEXPECTED);
  EXPECT_EQ(ReturnHresult([] { return S_FALSE; }), S_FALSE);
  std::string text = "earlier";
  EXPECT_EQ(ReturnHresultWithText(text, "what failed", []() -> HRESULT { throw 1; }), E_UNEXPECTED);
  EXPECT_EQ(text, "what failed");
  // The appending form keeps what the body wrote before it threw in front.
  EXPECT_EQ(ReturnHresultAppendingText(text, " then this",
                                       [&]() -> HRESULT {
                                         text += ", partly";
                                         throw 1;
                                       }),
            E_UNEXPECTED);
  EXPECT_EQ(text, "what failed, partly then this");
}

TEST(ExceptionBoundaryTest, PlainFormReturnsTheGivenValueOnException) {
  EXPECT_EQ(ReturnOnException(LRESULT{-1}, []() -> LRESULT { throw 1; }), -1);
  EXPECT_EQ(ReturnOnException(LRESULT{-1}, [] { return LRESULT{5}; }), 5);
  EXPECT_EQ(ReturnOnException("trace\r\n", S_OK, []() -> HRESULT { throw 1; }), S_OK);
}

}  // namespace
