// ReadInstallPath against the real registry (HKLM, both views) and the real environment.
#include <gtest/gtest.h>

#include "app/run_patch.h"
#include "test_support.h"

namespace {

// The string's bytes plus its terminating zero, as a string value is normally stored.
std::string WithZero(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

struct ValueCase {
    const char* name;
    DWORD type;
    std::string bytes;
    std::string expected;
};

class ReadInstallPathTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SetEnvironmentVariableA("ORVEK_TEST_ROOT", "D:\\Root"));
        ASSERT_GT(GetEnvironmentVariableA("SystemDrive", systemDrive_, sizeof systemDrive_), 0u);
    }
    void TearDown() override {
        SetEnvironmentVariableA("ORVEK_TEST_ROOT", nullptr);
        SetEnvironmentVariableA("ORVEK_TEST_LONG", nullptr);
    }

    InstallKeyGuard keys_;
    char systemDrive_[16] = {};
};

TEST_F(ReadInstallPathTest, MissingKeyGivesTheEmptyText) {
    EXPECT_EQ(ReadInstallPath(), "");
}

TEST_F(ReadInstallPathTest, KeyWithoutTheValueGivesTheEmptyText) {
    ASSERT_TRUE(CreateInstallKey(kNativeView));
    EXPECT_EQ(ReadInstallPath(), "");
}

TEST_F(ReadInstallPathTest, ReadsAndExpandsTheValue) {
    const std::string drive = systemDrive_;
    const std::string exactly1024(1024, 'a');
    const std::string chars1023(1023, 'b');
    const ValueCase cases[] = {
        {"Plain", REG_SZ, WithZero("C:\\Games\\Demo"), "C:\\Games\\Demo"},
        {"PlainWithoutZero", REG_SZ, "C:\\Games\\Demo", "C:\\Games\\Demo"},
        {"KeptAsStored", REG_SZ, WithZero("C:/Games//Demo/"), "C:/Games//Demo/"},
        {"SystemDriveInPlainString", REG_SZ, WithZero("%SystemDrive%\\Games\\Demo"), drive + "\\Games\\Demo"},
        {"SystemDriveInExpandableString", REG_EXPAND_SZ, WithZero("%SystemDrive%\\Games\\Demo"), drive + "\\Games\\Demo"},
        {"OwnVariable", REG_EXPAND_SZ, WithZero("%ORVEK_TEST_ROOT%\\Demo"), "D:\\Root\\Demo"},
        {"UnknownVariableStays", REG_SZ, WithZero("%ORVEK_NO_SUCH_VARIABLE%\\Demo"), "%ORVEK_NO_SUCH_VARIABLE%\\Demo"},
        {"EmptyValue", REG_SZ, "", ""},
        {"OnlyAZero", REG_SZ, std::string(1, '\0'), ""},
        {"TextEndsAtItsFirstZero", REG_SZ, std::string("C:\\Demo\0junk\0", 13), "C:\\Demo"},
        {"Exactly1024BytesWithZero", REG_SZ, WithZero(chars1023), chars1023},
        // The two zero bytes after the value end a text that brought no zero of its own.
        {"Exactly1024BytesWithoutZero", REG_BINARY, exactly1024, exactly1024},
        {"1025BytesCountAsMissing", REG_SZ, WithZero(exactly1024), ""},
        {"1025BinaryBytesCountAsMissing", REG_BINARY, exactly1024 + "a", ""},
        {"FarTooLong", REG_SZ, WithZero(std::string(5000, 'c')), ""},
    };
    for (const ValueCase& c : cases) {
        ASSERT_TRUE(SetInstallValue(kNativeView, c.type, c.bytes)) << c.name;
        EXPECT_EQ(ReadInstallPath(), c.expected) << c.name;
    }
}

// The expansion goes into 2,048 bytes. A result that does not fit counts as no install path.
TEST_F(ReadInstallPathTest, ExpansionThatDoesNotFitGivesTheEmptyText) {
    struct ExpansionCase {
        size_t variableLength;  // the expansion is "C:\" and the variable: 3 + length characters
        bool fits;
    };
    const ExpansionCase cases[] = {
        {2044, true},   // 2,047 characters and the zero: exactly 2,048 bytes
        {2045, false},  // one byte too many
        {3000, false},
    };
    ASSERT_TRUE(SetInstallValue(kNativeView, REG_EXPAND_SZ, WithZero("C:\\%ORVEK_TEST_LONG%")));
    for (const ExpansionCase& c : cases) {
        const std::string variable(c.variableLength, 'v');
        ASSERT_TRUE(SetEnvironmentVariableA("ORVEK_TEST_LONG", variable.c_str()));
        EXPECT_EQ(ReadInstallPath(), c.fits ? "C:\\" + variable : std::string()) << c.variableLength;
    }
}

// A 32-bit installer writes its key into the 32-bit view.
TEST_F(ReadInstallPathTest, KeyOnlyInThe32BitViewIsFound) {
    ASSERT_TRUE(SetInstallValue(kWow32View, REG_SZ, WithZero("C:\\Games\\Demo32")));
    HKEY native = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\PELLANTIS\\Halvenmoor Demo", 0, KEY_READ, &native), ERROR_FILE_NOT_FOUND)
        << "the two views are not separate here";
    EXPECT_EQ(ReadInstallPath(), "C:\\Games\\Demo32");
}

TEST_F(ReadInstallPathTest, NativeViewComesFirst) {
    ASSERT_TRUE(SetInstallValue(kWow32View, REG_SZ, WithZero("C:\\Games\\Demo32")));
    ASSERT_TRUE(SetInstallValue(kNativeView, REG_SZ, WithZero("C:\\Games\\Demo64")));
    EXPECT_EQ(ReadInstallPath(), "C:\\Games\\Demo64");
}

// The 32-bit view is asked only when the key is absent from the native one, not when the
// native key lacks the value.
TEST_F(ReadInstallPathTest, NativeKeyWithoutValueHidesThe32BitOne) {
    ASSERT_TRUE(SetInstallValue(kWow32View, REG_SZ, WithZero("C:\\Games\\Demo32")));
    ASSERT_TRUE(CreateInstallKey(kNativeView));
    EXPECT_EQ(ReadInstallPath(), "");
}

}  // namespace
