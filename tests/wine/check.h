// A small test harness for the driver: cases register themselves, checks
// record failures with their place and go on, the runner prints a line per
// case and a summary.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace wine_test {

struct Case {
  const char* group;
  const char* name;
  std::function<void()> body;
};

std::vector<Case>& Cases();

struct Register {
  Register(const char* group, const char* name, std::function<void()> body) {
    Cases().push_back({group, name, std::move(body)});
  }
};

// Records a failure of the running case.
void Fail(const char* file, int line, const std::string& what);
// Extra words for the failures that follow (a table row's name), until reset.
void SetScope(const std::string& scope);
bool Failed();

template <class A, class B>
void CheckEqual(const A& actual, const B& expected, const char* text, const char* file, int line) {
  if (actual == expected) return;
  std::ostringstream out;
  out << text << "\n      actual:   " << actual << "\n      expected: " << expected;
  Fail(file, line, out.str());
}

// Narrow text of a wide one, for messages.
std::string Narrow(const std::wstring& text);

}  // namespace wine_test

#define WINE_CASE_NAME2(a, b) a##b
#define WINE_CASE_NAME(a, b) WINE_CASE_NAME2(a, b)
#define WINE_CASE(group, name)                                                                     \
  static void WINE_CASE_NAME(Case_, __LINE__)();                                                   \
  static wine_test::Register WINE_CASE_NAME(register_, __LINE__)(group, name,                      \
                                                                 WINE_CASE_NAME(Case_, __LINE__)); \
  static void WINE_CASE_NAME(Case_, __LINE__)()

#define CHECK(cond) ((cond) ? void() : wine_test::Fail(__FILE__, __LINE__, "CHECK(" #cond ")"))
#define CHECK_EQ(actual, expected) \
  wine_test::CheckEqual((actual), (expected), #actual " == " #expected, __FILE__, __LINE__)
// Ends the case when the condition fails: what follows depends on it.
#define REQUIRE(cond)                                            \
  do {                                                           \
    if (!(cond)) {                                               \
      wine_test::Fail(__FILE__, __LINE__, "REQUIRE(" #cond ")"); \
      return;                                                    \
    }                                                            \
  } while (0)
