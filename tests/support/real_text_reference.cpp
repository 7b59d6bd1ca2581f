#include "tests/support/real_text_reference.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/real_text.h"
#include "text/real_text_stepwise.h"

namespace asciify::reference {
namespace {

// The texts follow the GNU C library's pow and log10. Where that library is not there, its
// results come from strtod and from data measured with it.

// pow(10.0, e) of that library: the nearest double, as strtod reads "1e<e>", but for the two
// exponents for which that pow gives the next value up (10^23 lies halfway between two
// doubles).
double power_of_ten_read(int32_t e) {
  char text[16];
  std::snprintf(text, sizeof text, "1e%d", static_cast<int>(e));
  const double value = std::strtod(text, nullptr);
  return e == 23 || e == 210 ? std::nextafter(value, HUGE_VAL) : value;
}

// Where that library's log10, truncated, steps to the next integer near 10^k, for k = -307 to
// 308: the first magnitude from which on it gives the higher integer, in units in the last
// place from power_of_ten_read(k) (0 for k = 0, where it does not step: the logarithm near 1 is
// always truncated to 0).
constexpr int16_t kLog10Steps[616] = {
    333,  414,  518,  325,  405,  506,  316,  395,  494,  310,  386,  482,  302,  377,  471,  588,
    368,  460,  575,  359,  449,  561,  351,  439,  549,  343,  429,  536,  335,  419,  523,  327,
    409,  511,  319,  400,  499,  312,  390,  487,  305,  381,  476,  298,  372,  464,  581,  363,
    453,  567,  355,  222,  277,  174,  216,  271,  169,  211,  264,  165,  207,  258,  162,  202,
    252,  158,  197,  247,  154,  193,  241,  150,  188,  235,  294,  183,  229,  286,  179,  224,
    280,  176,  219,  273,  171,  214,  267,  167,  209,  260,  163,  204,  254,  160,  199,  249,
    156,  194,  242,  151,  190,  237,  149,  185,  231,  289,  181,  226,  283,  177,  221,  276,
    172,  216,  269,  168,  211,  263,  164,  206,  257,  161,  201,  251,  157,  196,  245,  153,
    191,  240,  150,  187,  234,  292,  183,  228,  285,  179,  223,  278,  175,  217,  272,  171,
    213,  266,  166,  208,  260,  163,  203,  253,  159,  198,  247,  155,  194,  242,  151,  189,
    236,  295,  185,  231,  288,  180,  225,  281,  176,  220,  275,  172,  215,  268,  167,  210,
    262,  164,  206,  128,  81,   101,  125,  79,   98,   122,  77,   96,   119,  75,   93,   117,
    145,  91,   114,  143,  89,   111,  139,  87,   109,  136,  85,   107,  133,  83,   103,  129,
    81,   102,  126,  80,   99,   124,  78,   97,   120,  76,   94,   118,  147,  92,   115,  143,
    90,   113,  141,  88,   110,  137,  86,   108,  134,  84,   105,  131,  82,   103,  128,  80,
    101,  125,  79,   50,   61,   39,   48,   60,   38,   47,   59,   72,   46,   57,   71,   45,
    56,   69,   44,   55,   68,   43,   54,   67,   42,   52,   65,   41,   51,   64,   40,   50,
    62,   39,   48,   30,   19,   23,   30,   37,   23,   29,   36,   23,   29,   35,   23,   28,
    35,   21,   27,   17,   11,   13,   17,   11,   13,   16,   11,   7,    9,    6,    6,    4,
    3,    2,    1,    0,    0,    -1,   -5,   -2,   -6,   -9,   -5,   -6,   -18,  -10,  -13,  -17,
    -10,  -12,  -16,  -10,  -25,  -32,  -20,  -24,  -31,  -19,  -24,  -30,  -19,  -24,  -29,  -18,
    -22,  -29,  -36,  -23,  -56,  -70,  -44,  -55,  -69,  -43,  -54,  -67,  -42,  -53,  -67,  -41,
    -51,  -64,  -40,  -50,  -62,  -39,  -49,  -61,  -38,  -48,  -60,  -37,  -47,  -58,  -73,  -45,
    -57,  -72,  -45,  -56,  -139, -87,  -109, -137, -85,  -107, -133, -83,  -104, -130, -81,  -102,
    -127, -79,  -99,  -124, -77,  -97,  -121, -76,  -95,  -118, -73,  -92,  -115, -145, -90,  -113,
    -141, -88,  -110, -138, -86,  -107, -134, -84,  -105, -131, -82,  -102, -128, -80,  -100, -125,
    -78,  -98,  -122, -76,  -95,  -120, -74,  -93,  -117, -145, -91,  -114, -143, -89,  -111, -138,
    -86,  -108, -136, -85,  -212, -266, -165, -207, -259, -161, -202, -253, -158, -198, -247, -154,
    -193, -242, -151, -188, -235, -147, -184, -230, -288, -180, -225, -283, -175, -220, -275, -171,
    -214, -269, -167, -209, -262, -163, -204, -256, -159, -199, -250, -155, -195, -244, -152, -191,
    -238, -149, -185, -233, -291, -182, -227, -284, -177, -222, -277, -173, -216, -270, -168, -211,
    -265, -165, -207, -258, -161, -201, -252, -157, -197, -246, -154, -192, -241, -149, -188, -235,
    -294, -183, -229, -286, -179, -224, -280, -174, -219, -273, -170, -214, -267, -167, -208, -261,
    -163, -204, -255, -159, -199, -248, -155, -194, -243, -152, -190, -237, -148, -185, -232, -289,
    -180, -226, -283, -176, -221, -276, -173, -216, -270, -168, -210, -263, -164, -205, -257, -161,
    -200, -250, -157, -196, -491, -306, -383, -479, -299, -374, -468, -586, -365, -457, -570, -356,
    -446, -559, -348, -436, -544, -340, -425, -533, -332, -415, -520, -324, -406, -507, -316, -397,
    -495, -309, -387, -483, -302, -378, -472, -295, -368, -462, -577, -360, -450, -563, -352, -440,
    -551, -344, -429, -537, -335, -419, -525, -327};

}  // namespace

int32_t truncated_log10_from_steps(double magnitude) {
  const auto k = static_cast<int32_t>(std::lround(std::log10(magnitude)));
  const double power = power_of_ten_read(k);
  if (k != 0 && k >= -307 && k <= 308 && std::fabs(magnitude - power) <= 1e-11 * power) {
    const int64_t units = kLog10Steps[k + 307];
    const auto step = std::bit_cast<double>(std::bit_cast<uint64_t>(power) + uint64_t(units));
    const int32_t higher = k > 0 ? k : k + 1;
    return magnitude >= step ? higher : higher - 1;
  }
  return static_cast<int32_t>(std::log10(magnitude));
}

double library_power_of_ten(int32_t e) {
#ifdef __GLIBC__
  return std::pow(10.0, e);
#else
  return power_of_ten_read(e);
#endif
}

int32_t library_exponent_estimate(double magnitude, double bias) {
#ifndef __GLIBC__
  // (A 4-byte value, the only one with a bias, is never near where the biased sum steps.)
  if (bias == 0.0) return truncated_log10_from_steps(magnitude);
#endif
  return static_cast<int32_t>(std::log10(magnitude) + bias);
}

namespace {

// The primitives of the conversion steps as the algorithm states them, on the library.
struct library_primitives {
  static double power_of_ten(int32_t e) { return library_power_of_ten(e); }

  // Rounded on its own, not fused with the addition it goes into.
  static double half_unit(int32_t decimals) {
    const volatile double product = 5.0 * power_of_ten(-decimals - 1);
    return product;
  }

  static int32_t exponent_estimate(double magnitude, double bias) {
    return library_exponent_estimate(magnitude, bias);
  }

  static int32_t print_fixed(double m, int32_t width, int32_t decimals, char* text) {
    return std::snprintf(text, real_text::kTextSize, "%#*.*f", width, decimals, m);
  }

  // "E%1d" to "E%4d": the exponent right-aligned after the 'E' in at most four columns.
  static void write_exponent_text(char* at, int32_t width, int32_t e) {
    std::snprintf(at, static_cast<size_t>(width) + 1, "E%*d", std::min(width - 1, 4), e);
  }
};

}  // namespace

bool float_to_text(float x, int32_t width, char* out, int32_t keep_zeros,
                   int32_t significant_digits) {
  const double wide = x;
  return real_text::real_to_text_stepwise<library_primitives>(wide, true, wide == 0.0, width, out,
                                                              keep_zeros, significant_digits);
}

bool double_to_text(double x, int32_t width, char* out, int32_t keep_zeros,
                    int32_t significant_digits) {
  // Zero and every magnitude below the normal range share the zero text.
  const bool zero = std::fabs(x) <= real_text::kSmallestNormal;
  return real_text::real_to_text_stepwise<library_primitives>(x, false, zero, width, out,
                                                              keep_zeros, significant_digits);
}

std::string difference_from_fast(bool single, uint64_t bits, int32_t width, int32_t keep_zeros,
                                 int32_t significant_digits) {
  const auto x4 = std::bit_cast<float>(static_cast<uint32_t>(bits));
  const auto x8 = std::bit_cast<double>(bits);
  std::string fields[2];  // the fast routine's, then this one's, each with 8 guard bytes before
  bool fits[2];
  for (const bool fast : {true, false}) {
    char field[56];
    std::memset(field, '#', sizeof field);
    char* const at = field + 8;
    const int32_t k = keep_zeros, digits = significant_digits;
    fits[fast ? 0 : 1] =
        single ? (fast ? asciify::float_to_text : float_to_text)(x4, width, at, k, digits)
               : (fast ? asciify::double_to_text : double_to_text)(x8, width, at, k, digits);
    fields[fast ? 0 : 1].assign(field, sizeof field);
  }
  if (fits[0] == fits[1] && fields[0] == fields[1]) return "";
  for (std::string& field : fields) std::replace(field.begin(), field.end(), '\0', '|');
  char head[160];
  std::snprintf(head, sizeof head,
                "%s bits %#llx, width %d, keep_zeros %d, significant digits %d:\n",
                single ? "float" : "double", static_cast<unsigned long long>(bits), width,
                keep_zeros, significant_digits);
  return head + ("fast      [" + fields[0] + "] " + std::to_string(fits[0])) +
         ("\nreference [" + fields[1] + "] " + std::to_string(fits[1]));
}

namespace {

// Where the exponent estimate changes, which random bits seldom reach: next to a power of ten
// 10^k (a byte or two), or next to the edges 10^k * (1 +- 1e-9) of the zone in which the fast
// estimate computes the logarithm, moved by -128 to 127 units in the last place, either sign.
uint64_t near_power_of_ten(bool single, const uint8_t (&value)[8]) {
  const int k = single ? -45 + value[0] % 84 : -307 + (value[0] | value[1] << 8) % 616;
  const double edges[3] = {1.0, 1.0 + 1e-9, 1.0 - 1e-9};
  const double center = library_power_of_ten(k) * edges[value[3] % 3];
  const auto step = static_cast<int8_t>(value[2]);
  const bool negative = (value[3] & 0x80) != 0;
  if (single) {
    return (std::bit_cast<uint32_t>(static_cast<float>(center)) + static_cast<uint32_t>(step)) |
           (negative ? 0x80000000u : 0u);
  }
  return (std::bit_cast<uint64_t>(center) + static_cast<uint64_t>(step)) |
         (negative ? uint64_t{1} << 63 : 0);
}

}  // namespace

std::string difference_for_fuzz_input(const uint8_t* data, size_t size) {
  uint8_t header[4] = {};
  std::memcpy(header, data, size < 4 ? size : 4);
  uint8_t value[8] = {};
  if (size > 4) std::memcpy(value, data + 4, size - 4 < 8 ? size - 4 : 8);
  const bool single = (header[0] & 1) == 0;
  uint64_t bits = 0;
  std::memcpy(&bits, value, sizeof bits);
  if ((header[0] & 2) != 0) bits = near_power_of_ten(single, value);
  return difference_from_fast(single, bits, header[1] % 40 - 1, header[2] % 4, 1 + header[3] % 32);
}

}  // namespace asciify::reference
