// The rate-expression compiler: precedence, associativity, the power
// operators' own minus, functions, folding and dependence, each against a
// number worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mechanism/expression.hpp"

namespace box {
namespace {

// Names: TEMP etc. as variables, K1 = 3 (a constant name), K2 depends on
// the air, J<n> and J(n) share slots by channel.
struct Fixture {
  std::vector<double> air{300.0, 2.0e19, 0.2095 * 2.0e19, 0.7809 * 2.0e19, 4.0e17, 1000.0, 50.0};
  std::vector<double> photolysis{1.0e-2, 5.0e-5};
  std::vector<double> coefficients{3.0, 7.0};
  std::vector<int> channels;
  NameResolver names() {
    NameResolver r;
    r.name = [](std::string_view n) -> std::optional<ResolvedName> {
      if (const auto v = air_variable(n)) return ResolvedName{{Op::air, static_cast<int>(*v)}, depends_on_air, {}};
      if (n == "RO2") return ResolvedName{{Op::ro2}, depends_on_ro2, {}};
      if (n == "K1") return ResolvedName{{Op::coefficient, 0}, depends_on_nothing, 3.0};
      if (n == "K2") return ResolvedName{{Op::coefficient, 1}, depends_on_air, {}};
      return std::nullopt;
    };
    r.photolysis_channel = [this](int c) {
      for (std::size_t i = 0; i < channels.size(); ++i)
        if (channels[i] == c) return static_cast<int>(i);
      channels.push_back(c);
      return static_cast<int>(channels.size() - 1);
    };
    return r;
  }
  double value(const std::string& text) {
    const Expression e = compile_expression(text, names());
    return e.evaluate({air.data(), 1.0e8, photolysis.data(), coefficients.data()});
  }
};

TEST(Expression, PrecedenceAssociativityAndFunctionsGiveHandWorkedNumbers) {
  Fixture f;
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"2+3*4", 14.0},
      {"10-4-3", 3.0},                  // left-associative
      {"8/4/2", 1.0},
      {"2*3**2", 18.0},                 // power before product
      {"2**3**2", 512.0},               // right-associative
      {"2@3@2", 512.0},
      {"2@3**2", 512.0},
      {"-2**2", -4.0},                  // the power before the sign
      {"2**-1", 0.5},                   // a minus after ** belongs to the exponent
      {"4@-0.5*8", 4.0},                // X@-2.6*O2 is X^-2.6 times O2
      {"(2+3)*4", 20.0},
      {"-(2-5)", 3.0},
      {"2*-3", -6.0},
      {"1.5D2+2.5d-1+1E1+3.e0", 163.25},
      {"8D-1*10", 8.0},
      {"EXP(0)+log(1)+LOG10(100)+Sqrt(16)+ABS(-3)+MIN(2,5)+max(2,5)", 17.0},
      {"TEMP/300*M/2.0D19", 1.0},
      {"O2/M+N2/M", 0.2095 + 0.7809},
      {"H2O/4.0D17+PRESS/1000+RH/50+RO2/1D8", 4.0},
      {"J<1>*100+J(1)*100+J<7>*2D4", 3.0},
      {"K1*K2", 21.0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(f.value(c.text), c.expected) << c.text;
  EXPECT_EQ(f.channels, (std::vector<int>{1, 7}));
  // The MCM's Troe form, evaluated as written.
  const double x = 1.0e-31 * 2.0e19 * std::pow(300.0 / 300, -1.6);
  EXPECT_EQ(f.value("1.0D-31*M*(TEMP/300)@-1.6"), x);
  EXPECT_EQ(f.value("10@(LOG10(0.85)/(1+(LOG10(2.0)/0.9)**2))"),
            std::pow(10.0, std::log10(0.85) / (1 + std::pow(std::log10(2.0) / 0.9, 2.0))));
}

TEST(Expression, FoldsOnlyConstantsAndRecordsWhatItDependsOn) {
  Fixture f;
  // 9.20D-14*0.7 is folded (it is computed first as written); *RO2 is not.
  const Expression a = compile_expression("9.20D-14*0.7*RO2", f.names());
  ASSERT_EQ(a.code.size(), 3u);
  EXPECT_EQ(a.code[0].value, 9.20e-14 * 0.7);
  EXPECT_EQ(a.depends, depends_on_ro2);
  // RO2*9.20D-14*0.7 is (RO2*9.2e-14)*0.7: nothing to fold without
  // reassociating.
  EXPECT_EQ(compile_expression("RO2*9.20D-14*0.7", f.names()).code.size(), 5u);
  // A constant name is its value.
  const Expression k = compile_expression("0.75-1.27*LOG10(K1)", f.names());
  ASSERT_TRUE(k.constant());
  EXPECT_EQ(*k.constant(), 0.75 - 1.27 * std::log10(3.0));
  const Expression both = compile_expression("K2*J<4>*EXP(-100/TEMP)", f.names());
  EXPECT_EQ(both.depends, depends_on_air | depends_on_photolysis);
}

TEST(Expression, FaultsSayWhereAndWhatWasExpected) {
  Fixture f;
  const struct {
    const char* text;
    std::size_t offset;
    const char* message;
  } cases[] = {
      {"(1+2", 0, "unbalanced parenthesis"},
      {"1+2)", 3, "unbalanced parenthesis"},
      {"2*KX", 2, "unknown name `KX`"},
      {"2*", 2, "expected a number"},
      {"EXP 2", 4, "expected `(`"},
      {"MIN(1)", 5, "expected `,`"},
      {"J<x>", 2, "channel number"},
      {"2 3", 2, "expected an operator"},
  };
  for (const auto& c : cases) {
    try {
      (void)compile_expression(c.text, f.names());
      ADD_FAILURE() << c.text << " compiled";
    } catch (const ExpressionError& e) {
      EXPECT_EQ(e.offset(), c.offset) << c.text;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.text << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace box
