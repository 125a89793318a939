#include "tests/support/forms.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "tests/support/splitmix.h"

namespace vantor::testing {
namespace {

// Characters of a random token, digits most often.
std::string random_token(splitmix& rng, std::string_view alphabet, std::size_t max_length) {
  std::string token;
  const std::size_t length = 1 + rng.below(max_length);
  for (std::size_t i = 0; i < length; ++i) {
    token += rng.below(2) == 0 ? static_cast<char>('0' + rng.below(10)) : rng.pick(alphabet);
  }
  return token;
}

constexpr std::array kSigns = {"", "+", "-"};

// The character a written form holds at i ("\t", "\x1A", "\\" or itself), and
// the index after it.
std::pair<char, std::size_t> written_char(std::string_view written, std::size_t i) {
  if (written[i] != '\\' || i + 1 == written.size()) return {written[i], i + 1};
  switch (const char e = written[i + 1]) {
    case 't':
      return {'\t', i + 2};
    case 'r':
      return {'\r', i + 2};
    case 'x': {
      unsigned byte = 0;
      std::from_chars(written.data() + i + 2, written.data() + i + 4, byte, 16);
      return {static_cast<char>(byte), i + 4};
    }
    default:
      return {e, i + 2};
  }
}

}  // namespace

std::string expand(std::string_view written) {
  std::string text;
  for (std::size_t i = 0; i < written.size();) {
    if (written[i] == '<') {
      // "<c*N>": N copies of c, c itself possibly escaped.
      const auto [c, star] = written_char(written, i + 1);
      const std::size_t close = written.find('>', star);
      std::size_t count = 0;
      if (star < written.size() && written[star] == '*' && close != std::string_view::npos &&
          std::from_chars(written.data() + star + 1, written.data() + close, count).ptr ==
              written.data() + close) {
        text.append(count, c);
        i = close + 1;
        continue;
      }
    }
    const auto [c, next] = written_char(written, i);
    text += c;
    i = next;
  }
  return text;
}

std::string escape(std::string_view text) {
  std::string written;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\t') {
      written += "\\t";
    } else if (c == '\r') {
      written += "\\r";
    } else if (c == '\\' || c == '<') {
      written += '\\';
      written += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      std::array<char, 8> hex{};
      std::snprintf(hex.data(), hex.size(), "\\x%02X", byte);
      written += hex.data();
    } else {
      written += c;
    }
  }
  return written;
}

std::vector<std::string> answer_forms(std::uint64_t seed, int random_count) {
  std::vector<std::string> forms;
  // Every sign, mantissa and exponent, with the blanks before and the rest of
  // the line after the token cycling through their kinds.
  constexpr std::array mantissas = {"0",  "3",          "03",         "12",          "2.9",
                                    "3.", "3.0",        ".5",         "0.",          "2147483647",
                                    ".",  "2147483648", "4294967296", "99999999999", "1.2.3"};
  constexpr std::array exponents = {"",  "e0", "E1", "d2",   "D-1",   "q3",   "Q+2",
                                    "e", "E+", "e-", "E400", "e-400", "e+09", "E9"};
  constexpr std::array before = {"", " ", "\\t", " \\t "};
  constexpr std::array after = {"", " x", ",8", "/", "\\r", " 12", "abc", "\\t7", "*"};
  std::size_t turn = 0;
  for (const char* sign : kSigns) {
    for (const char* mantissa : mantissas) {
      for (const char* exponent : exponents) {
        forms.push_back(std::string(before[turn % before.size()]) + sign + mantissa + exponent +
                        after[turn % after.size()]);
        ++turn;
      }
    }
  }
  // Repeat counts before every kind of value.
  constexpr std::array counts = {"1*",  "3*",  "03*", "0*",  "00*",  "-1*",
                                 "+2*", "1.*", "*",   "2**", "1e1*", "<1*300>*"};
  constexpr std::array values = {"", "5", "+3.0", "-7", "abc", "1e3", ".T", "2*3", "+", "-.5e1"};
  for (const char* count : counts) {
    for (const char* value : values) forms.push_back(std::string(count) + value);
  }
  // Null values, words, logical and character forms, misplaced signs.
  for (const char* text :
       {"/",      ",",          " , 5",    "  /7",   "",      "   ",   "\\t",    "\\x1A",
        "\\x1A ", "T",          "F",       "t",      ".t.",   ".F",    "'3'",    "\"3\"",
        "abc",    "12abc",      "#",       "(",      "1+5",   "1.0+5", "+-3",    "--3",
        "++3",    "E5",         "e",       "1E+",    "1e-x",  "3**5",  "3*4*5",  "\\x00",
        "7\\x00", "\\xC3\\x85", "1,2",     "1/2",    "-0",    "+0.0",  "-.0e-0", "0e999999",
        "+3.0",   "+3e0",       "\\t+1.5", "+.3, 8", "+.5E1", "+3"}) {
    forms.emplace_back(text);
  }
  // Long tokens: leading zeros, long fractions and repeat counts, mantissas
  // scaled back by their exponent, values next to an integer.
  for (const char* text : {"<0*300>3",           "<0*300>3.5",
                           "+<0*300>3",          "-<0*5000>12",
                           "<1*300>*3",          "<9*70000>*-4",
                           "3.<9*300>",          "<1*300>",
                           "<0*1000000>7",       "<0*1048575>7",
                           "<0*1048576>7",       "<0*2000000>5",
                           "1.<5*1000000>",      "-2.<5*1048580>",
                           "<1*1048576>x",       "<a*1048577>",
                           "<1*2000000>",        "< *1048576>7",
                           "< *2000000>-9",      "<\\t*1100000>,7",
                           "0.<0*400>1e401",     "<1*400>e-399",
                           "<1*400>.5e-400",     "1e<0*300>3",
                           "1e-<0*300>1",        "1e+<0*5000>",
                           "2.<9*20>",           "2.<9*15>",
                           "-0.<9*17>",          "-0.<9*16>",
                           "2147483647.<9*300>", "2147483646.<9*300>",
                           "2147483648.<0*300>", "-2147483648.<9*300>",
                           "-2147483649.0",      "<2*70000>e-69999",
                           "<0*300>2147483648",  "-<0*300>2147483648",
                           ".<0*340>1e350",      "4.<0*764>1e0",
                           "1.<0*15>1e15",       "9007199254740993.<0*800>1",
                           "<9*17>.<9*300>e-17", "0.<0*1000>",
                           "1<0*2000>e-2000",    "1<0*2000>e-1991"}) {
    forms.emplace_back(text);
  }
  // Random tokens of number characters, now and then another one.
  splitmix rng{seed};
  constexpr std::string_view alphabet = "+-.eEdDqQ*.+-x/, \tT";
  for (int i = 0; i < random_count; ++i) {
    std::string token = escape(random_token(rng, alphabet, 14));
    if (rng.below(4) == 0) token = rng.pick(before) + token;
    forms.push_back(token);
  }
  return forms;
}

std::vector<std::string> field_records(std::uint64_t seed, int random_count) {
  std::vector<std::string> records;
  const std::string head = "       12.500";
  const std::string tail = "  2.0000E-03";
  const auto add = [&](std::string_view field) {
    records.push_back(escape(head + ' ' + std::string(field) + tail));
  };
  // Numbers of every sign, mantissa and exponent.
  constexpr std::array mantissas = {"0",          "1",          "12",
                                    "1.5",        ".5",         "5.",
                                    "1.2345",     "0.000",      "123456789012",
                                    "2147483647", "2147483648", "1.7976931348623157",
                                    "4.9",        "00012.50",   "."};
  constexpr std::array exponents = {"",   "E-05", "e+3",    "D2",    "d-2",  "E",
                                    "E+", "Q1",   "E-1000", "E0400", "E308", "E-324"};
  for (const char* sign : kSigns) {
    for (const char* mantissa : mantissas) {
      for (const char* exponent : exponents) add(std::string(sign) + mantissa + exponent);
    }
  }
  // Expressions, words and texts.
  for (const char* field : {"1/3",         "2*PI",
                            "PI",          "-PI",
                            "PI/2",        "SIN(PI/2)",
                            "COS(0)",      "SIN(1.5)",
                            "COS(1E5)",    "SIN(3.14159)",
                            "COS(-2.5)",   "SIN(1E-300)",
                            "2**3",        "2**0.5",
                            "2**-1",       "-2**2",
                            "10**-400",    "10**400",
                            "(-8)**2",     "1/0",
                            "0/0",         "-1/0",
                            "1E300*1E300", "3-1-1",
                            "2+3*4",       "1.5E-3*2",
                            "SIN(",        "SIN(1",
                            "SIN()",       "COS(PI)",
                            "PI*1E-310",   "1+",
                            "*2",          "2*",
                            "1//2",        "SQRT(4)",
                            "sin(pi)",     "Pi",
                            "pI/4",        "2.5E-3/4",
                            "1E-3+1E-3",   "4/2/2",
                            "1-",          "-",
                            "+",           "E",
                            "ABC",         "X1",
                            "'quoted'",    "a,b",
                            "1,,2",        ",",
                            "!comment",    "1 ! c",
                            "#x",          "1 2 3",
                            "1\t2",        "-1.5E-05,3",
                            "*",           "/",
                            "1.5E-05/",    "5*3",
                            "3*",          "2*PI*2",
                            "PI**2",       "1E-5*SIN(PI/6)",
                            "COS(PI/3)*2", "-SIN(-1)",
                            "SIN(1E22)",   "COS(1E300)"}) {
    add(field);
  }
  // The 12-column damage field with each column replaced by each character
  // that matters to a number.
  constexpr std::array bases = {"  1.2345E-05", " -1.2345E+05", "  0.0000E+00", "  9.9999E-99",
                                "  1.0000-100"};
  constexpr std::string_view characters = " +-.EeDd09,\t!X*/'";
  for (std::string_view base : bases) {
    for (std::size_t column = 0; column < base.size(); ++column) {
      for (const char c : characters) {
        std::string field(base);
        field[column] = c;
        records.push_back(escape(head + field + tail));
      }
    }
  }
  // Records whose damage fields run together or stand in fixed columns.
  for (const char* record :
       {"       12.500  1.2345E-05  2.3456E-05  3.4567E-05  4.5678E-05  5.6789E-05",
        "       12.500  1.2345E-05 2.3456E-05  3.4567E-05", "12.5,1.2345E-05,2.3456E-05",
        "12.5 1.2345E-05, 2.3456E-05", "       12.500  1.2345E-05! 2.3456E-05",
        "       12.500 -1.2345E-05-2.3456E-05"}) {
    records.push_back(escape(record));
  }
  splitmix rng{seed};
  constexpr std::string_view alphabet = "..+-EeDdQ,, \t!*/()PISNCO";
  for (int i = 0; i < random_count; ++i) add(random_token(rng, alphabet, 12));
  return records;
}

std::vector<double> boundary_values() {
  std::vector<double> values;
  const auto around = [&values](double x) {
    values.push_back(std::nextafter(x, -HUGE_VAL));
    values.push_back(x);
    values.push_back(std::nextafter(x, HUGE_VAL));
  };
  const auto decimal = [](const std::string& text) { return std::strtod(text.c_str(), nullptr); };
  // 1PE12.4: the halfway points between neighbours of four digits, the one
  // that carries into the next power of ten among them, at every exponent.
  for (int e = -310; e <= 308; ++e) {
    around(decimal("9.99995e" + std::to_string(e)));
    around(decimal("1.00005e" + std::to_string(e)));
  }
  // F13.3: halfway points of three decimals at every magnitude, up to the
  // widest value the field holds.
  for (const char* text : {"0.0005", "0.0015", "0.0025", "1.2345", "2.0005", "-0.0005", "-1.2345",
                           "99.9995", "12345.6785", "99999999.9995", "999999999.9995",
                           "-99999999.9995", "-999999999.9995", "4503599627370495.5"}) {
    around(decimal(text));
  }
  for (int e = -4; e <= 12; ++e) around(decimal("5e" + std::to_string(e)));
  for (const double special :
       {0.0, -0.0, HUGE_VAL, -HUGE_VAL, std::nan(""), 4.9406564584124654e-324,
        2.2250738585072014e-308, 1.7976931348623157e308, 1.0, -1.0}) {
    values.push_back(special);
  }
  return values;
}

std::string mutate_raw_damage(std::string_view text, std::uint64_t seed, double rate) {
  splitmix rng{seed};
  const std::vector<std::string> pool = field_records(seed, 50);
  constexpr std::string_view characters = " +-.EeDd09,\t!X*/'";
  std::string out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    std::string line(text.substr(start, end - start));
    start = end;
    const bool data = !line.empty() && line[0] != '#';
    if (data && static_cast<double>(rng.below(1'000'000)) < rate * 1e6 && line.size() > 26) {
      const std::size_t body = line.size() - (line.ends_with("\r\n") ? 2 : 1);
      switch (rng.below(3)) {
        case 0: {  // one damage field replaced by another form
          const std::size_t fields = (body - 13) / 12;
          if (fields == 0) break;
          const std::size_t at = 13 + 12 * rng.below(fields);
          const std::string record = expand(rng.pick(pool));
          line.replace(at, 12, record.substr(13, record.size() - 25));
          break;
        }
        case 1:  // characters replaced
          for (std::size_t k = 0, n = 1 + rng.below(3); k < n; ++k) {
            line[rng.below(body)] = rng.pick(characters);
          }
          break;
        default:  // a character deleted or inserted
          if (rng.below(2) == 0) {
            line.erase(rng.below(body), 1);
          } else {
            line.insert(rng.below(body), 1, rng.pick(characters));
          }
          break;
      }
    }
    out += line;
  }
  return out;
}

}  // namespace vantor::testing
