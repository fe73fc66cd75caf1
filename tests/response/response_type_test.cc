#include "response/response_type.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

struct TypeCase {
  const char* type_out;
  int kind;
  int direction;
  int order;
};

class ResolveResponseTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ResolveResponseTypeTest, Resolves) {
  const TypeCase& c = GetParam();
  const ResponseType type = resolve_response_type(c.type_out);
  EXPECT_EQ(type.kind, c.kind);
  EXPECT_EQ(type.direction, c.direction);
  EXPECT_EQ(type.order, c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ResolveResponseTypeTest,
    ::testing::Values(
        TypeCase{"GSE2", 1, 0, -9}, TypeCase{"gse2", 1, 0, -9}, TypeCase{"QEV", 0, 1, -6},
        TypeCase{"qEv", 0, 1, -6},
        // A blank before a preset name makes it an ordinary text.
        TypeCase{" GSE2", 0, 0, -9}, TypeCase{"QEV ", 0, 0, -9}, TypeCase{"", 1, 0, -9},
        TypeCase{"2", 2, 0, -9}, TypeCase{"0,0,0", 0, 0, 0}, TypeCase{"2,1,-6", 2, 1, -6},
        TypeCase{"1, 0, -9", 1, 0, -9}, TypeCase{"2;1:-3", 2, 1, -3},
        // Empty fields take no position.
        TypeCase{"1,,1", 1, 1, -9}, TypeCase{",,2,,,1,", 2, 1, -9}, TypeCase{",;:", 1, 0, -9},
        TypeCase{"abc", 0, 0, -9}, TypeCase{"1,2,3,4,5", 1, 2, 3},
        TypeCase{"7x,+3y,-0012", 7, 3, -12},
        TypeCase{"99999999999,-99999999999,2147483648", INT_MAX, INT_MIN, INT_MAX}));

TEST(ResolveSacKindTest, ReadsPresetsOrTheLeadingInteger) {
  EXPECT_EQ(resolve_sac_kind("GSE2"), 1);
  EXPECT_EQ(resolve_sac_kind("gse2"), 1);
  EXPECT_EQ(resolve_sac_kind("QEV"), 0);
  EXPECT_EQ(resolve_sac_kind("qev"), 0);
  EXPECT_EQ(resolve_sac_kind(""), 0);
  EXPECT_EQ(resolve_sac_kind("2,1,-6"), 2);
  EXPECT_EQ(resolve_sac_kind(",2"), 0);
  EXPECT_EQ(resolve_sac_kind("  -3"), -3);
  EXPECT_EQ(resolve_sac_kind("123456789012"), INT_MAX);
}

TEST(UnitNameTest, NamesKnownOrdersAndWritesOthersAsPowers) {
  EXPECT_EQ(unit_name(-9), "nM");
  EXPECT_EQ(unit_name(-6), "mkM");
  EXPECT_EQ(unit_name(-3), "mM");
  EXPECT_EQ(unit_name(0), "M");
  EXPECT_EQ(unit_name(-12), "1E-12*M");
  EXPECT_EQ(unit_name(3), "1E3*M");
  EXPECT_EQ(unit_name(INT_MIN), "1E-2147483648*M");
}

struct LabelCase {
  int kind;
  int direction;
  int order;
  const char* expected;
};

class UnitLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(UnitLabelTest, Labels) {
  const LabelCase& c = GetParam();
  EXPECT_EQ(unit_label(ResponseType{c.kind, c.direction, c.order}), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, UnitLabelTest,
    ::testing::Values(LabelCase{1, 0, -9, "Count/(nM/sec)"}, LabelCase{0, 1, -6, "mkM/Count"},
                      LabelCase{0, 0, 0, "Count/M"}, LabelCase{1, 0, -12, "Count/(1E-12*M/sec)"},
                      LabelCase{2, 0, -9, "Count/(nM/sec**2)"},
                      LabelCase{1, -1, -3, "(mM/sec)/Count"},
                      LabelCase{2, 5, 3, "(1E3*M/sec**2)/Count"}, LabelCase{0, 0, -6, "Count/mkM"},
                      LabelCase{3, 0, -9, ""}, LabelCase{-1, 1, -6, ""}));

}  // namespace
}  // namespace kalvynex
