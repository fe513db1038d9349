#include "mta/formula/function_table.h"

#include "coord.h"
#include "text_utils.h"

#include <algorithm>
#include <array>
#include <bit>

namespace vex::mta::formula {

namespace {

struct function_row_t {
    std::string_view name;
    // The release that brought the function; kept with the list, read by nothing.
    uint8_t group;
};

// Id n is row n - 1. A row is never moved or removed: ids are stored in parsed formulas.
constexpr function_row_t function_rows[] = {
    {"ABS", 0}, {"ACCRINT", 0}, {"ACCRINTM", 0}, {"ACOS", 0}, {"ACOSH", 0}, {"ACOT", 2}, {"ACOTH", 2},
    {"AGGREGATE", 0}, {"ADDRESS", 0}, {"AMORDEGRC", 0}, {"AMORLINC", 0}, {"AND", 0}, {"ARABIC", 2},
    {"AREAS", 0}, {"ARRAYTOTEXT", 6}, {"ASC", 0}, {"ASIN", 0}, {"ASINH", 0}, {"ATAN", 0}, {"ATAN2", 0},
    {"ATANH", 0}, {"AVEDEV", 0}, {"AVERAGE", 0}, {"AVERAGEA", 0}, {"AVERAGEIF", 0}, {"AVERAGEIFS", 0},
    {"BAHTTEXT", 0}, {"BASE", 0}, {"BESSELI", 0}, {"BESSELJ", 0}, {"BESSELK", 0}, {"BESSELY", 0},
    {"BETADIST", 0}, {"BETA.DIST", 1}, {"BETAINV", 0}, {"BETA.INV", 1}, {"BIN2DEC", 0}, {"BIN2HEX", 0},
    {"BIN2OCT", 0}, {"BINOMDIST", 0}, {"BINOM.DIST", 1}, {"BINOM.DIST.RANGE", 2}, {"BINOM.INV", 1},
    {"BITAND", 2}, {"BITLSHIFT", 2}, {"BITOR", 2}, {"BITRSHIFT", 2}, {"BITXOR", 2}, {"CALL", 0},
    {"CEILING", 0}, {"CEILING.MATH", 2}, {"CEILING.PRECISE", 0}, {"CELL", 0}, {"CHAR", 0}, {"CHIDIST", 0},
    {"CHIINV", 0}, {"CHITEST", 0}, {"CHISQ.DIST", 1}, {"CHISQ.DIST.RT", 1}, {"CHISQ.INV", 1},
    {"CHISQ.INV.RT", 1}, {"CHISQ.TEST", 1}, {"CHOOSE", 0}, {"CLEAN", 0}, {"CODE", 0}, {"COLUMN", 0},
    {"COLUMNS", 0}, {"COMBIN", 0}, {"COMBINA", 2}, {"COMPLEX", 0}, {"CONCAT", 4}, {"CONCATENATE", 0},
    {"CONFIDENCE", 0}, {"CONFIDENCE.NORM", 1}, {"CONFIDENCE.T", 1}, {"CONVERT", 0}, {"CORREL", 0}, {"COS", 0},
    {"COSH", 0}, {"COT", 2}, {"COTH", 2}, {"COUNT", 0}, {"COUNTA", 0}, {"COUNTBLANK", 0}, {"COUNTIF", 0},
    {"COUNTIFS", 0}, {"COUPDAYBS", 0}, {"COUPDAYS", 0}, {"COUPDAYSNC", 0}, {"COUPNCD", 0}, {"COUPNUM", 0},
    {"COUPPCD", 0}, {"COVAR", 0}, {"COVARIANCE.P", 1}, {"COVARIANCE.S", 1}, {"CRITBINOM", 0}, {"CSC", 2},
    {"CSCH", 2}, {"CUBEKPIMEMBER", 0}, {"CUBEMEMBER", 0}, {"CUBEMEMBERPROPERTY", 0}, {"CUBERANKEDMEMBER", 0},
    {"CUBESET", 0}, {"CUBESETCOUNT", 0}, {"CUBEVALUE", 0}, {"CUMIPMT", 0}, {"CUMPRINC", 0}, {"DATE", 0},
    {"DATEDIF", 0}, {"DATEVALUE", 0}, {"DAVERAGE", 0}, {"DAY", 0}, {"DAYS", 2}, {"DAYS360", 0}, {"DB", 0},
    {"DBCS", 2}, {"DCOUNT", 0}, {"DCOUNTA", 0}, {"DDB", 0}, {"DEC2BIN", 0}, {"DEC2HEX", 0}, {"DEC2OCT", 0},
    {"DECIMAL", 2}, {"DEGREES", 0}, {"DELTA", 0}, {"DEVSQ", 0}, {"DGET", 0}, {"DISC", 0}, {"DMAX", 0},
    {"DMIN", 0}, {"DOLLAR", 0}, {"DOLLARDE", 0}, {"DOLLARFR", 0}, {"DPRODUCT", 0}, {"DSTDEV", 0},
    {"DSTDEVP", 0}, {"DSUM", 0}, {"DURATION", 0}, {"DVAR", 0}, {"DVARP", 0}, {"EDATE", 0}, {"EFFECT", 0},
    {"ENCODEURL", 2}, {"EOMONTH", 0}, {"ERF", 0}, {"ERF.PRECISE", 1}, {"ERFC", 0}, {"ERFC.PRECISE", 1},
    {"ERROR.TYPE", 0}, {"EUROCONVERT", 0}, {"EVEN", 0}, {"EXACT", 0}, {"EXP", 0}, {"EXPON.DIST", 1},
    {"EXPONDIST", 0}, {"FACT", 0}, {"FACTDOUBLE", 0}, {"FALSE", 0}, {"F.DIST", 1}, {"FDIST", 0},
    {"F.DIST.RT", 1}, {"FILTER", 6}, {"FILTERXML", 2}, {"FIND", 0}, {"FINDB", 0}, {"F.INV", 1},
    {"F.INV.RT", 1}, {"FINV", 0}, {"FISHER", 0}, {"FISHERINV", 0}, {"FIXED", 0}, {"FLOOR", 0},
    {"FLOOR.MATH", 2}, {"FLOOR.PRECISE", 0}, {"FORECAST", 0}, {"FORECAST.ETS", 3}, {"FORECAST.ETS.CONFINT", 3},
    {"FORECAST.ETS.SEASONALITY", 3}, {"FORECAST.ETS.STAT", 3}, {"FORECAST.LINEAR", 3}, {"FORMULATEXT", 2},
    {"FREQUENCY", 0}, {"F.TEST", 1}, {"FTEST", 0}, {"FV", 0}, {"FVSCHEDULE", 0}, {"GAMMA", 2},
    {"GAMMA.DIST", 1}, {"GAMMADIST", 0}, {"GAMMA.INV", 1}, {"GAMMAINV", 0}, {"GAMMALN", 0},
    {"GAMMALN.PRECISE", 1}, {"GAUSS", 2}, {"GCD", 0}, {"GEOMEAN", 0}, {"GESTEP", 0}, {"GETPIVOTDATA", 0},
    {"GROWTH", 0}, {"HARMEAN", 0}, {"HEX2BIN", 0}, {"HEX2DEC", 0}, {"HEX2OCT", 0}, {"HLOOKUP", 0}, {"HOUR", 0},
    {"HYPERLINK", 0}, {"HYPGEOM.DIST", 0}, {"HYPGEOMDIST", 0}, {"IF", 0}, {"IFERROR", 0}, {"IFNA", 2},
    {"IFS", 4}, {"IMABS", 0}, {"IMAGINARY", 0}, {"IMARGUMENT", 0}, {"IMCONJUGATE", 0}, {"IMCOS", 0},
    {"IMCOSH", 2}, {"IMCOT", 2}, {"IMCSC", 2}, {"IMCSCH", 2}, {"IMDIV", 0}, {"IMEXP", 0}, {"IMLN", 0},
    {"IMLOG10", 0}, {"IMLOG2", 0}, {"IMPOWER", 0}, {"IMPRODUCT", 0}, {"IMREAL", 0}, {"IMSEC", 2},
    {"IMSECH", 2}, {"IMSIN", 0}, {"IMSINH", 2}, {"IMSQRT", 0}, {"IMSUB", 0}, {"IMSUM", 0}, {"IMTAN", 2},
    {"INDEX", 0}, {"INDIRECT", 0}, {"INFO", 0}, {"INT", 0}, {"INTERCEPT", 0}, {"INTRATE", 0}, {"IPMT", 0},
    {"IRR", 0}, {"ISBLANK", 0}, {"ISERR", 0}, {"ISERROR", 0}, {"ISEVEN", 0}, {"ISFORMULA", 2},
    {"ISLOGICAL", 0}, {"ISNA", 0}, {"ISNONTEXT", 0}, {"ISNUMBER", 0}, {"ISODD", 0}, {"ISREF", 0},
    {"ISTEXT", 0}, {"ISO.CEILING", 2}, {"ISOWEEKNUM", 2}, {"ISPMT", 0}, {"JIS", 0}, {"KURT", 0}, {"LARGE", 0},
    {"LCM", 0}, {"LEFT", 0}, {"LEFTB", 0}, {"LEN", 0}, {"LENB", 0}, {"LET", 6}, {"LINEST", 0}, {"LN", 0},
    {"LOG", 0}, {"LOG10", 0}, {"LOGEST", 0}, {"LOGINV", 0}, {"LOGNORM.DIST", 1}, {"LOGNORMDIST", 0},
    {"LOGNORM.INV", 1}, {"LOOKUP", 0}, {"LOWER", 0}, {"MATCH", 0}, {"MAX", 0}, {"MAXA", 0}, {"MAXIFS", 4},
    {"MDETERM", 0}, {"MDURATION", 0}, {"MEDIAN", 0}, {"MID", 0}, {"MIDB", 0}, {"MIN", 0}, {"MINIFS", 4},
    {"MINA", 0}, {"MINUTE", 0}, {"MINVERSE", 0}, {"MIRR", 0}, {"MMULT", 0}, {"MOD", 0}, {"MODE", 0},
    {"MODE.MULT", 1}, {"MODE.SNGL", 1}, {"MONTH", 0}, {"MROUND", 0}, {"MULTINOMIAL", 0}, {"MUNIT", 2},
    {"N", 0}, {"NA", 0}, {"NEGBINOM.DIST", 1}, {"NEGBINOMDIST", 0}, {"NETWORKDAYS", 0},
    {"NETWORKDAYS.INTL", 1}, {"NOMINAL", 0}, {"NORM.DIST", 1}, {"NORMDIST", 0}, {"NORMINV", 0},
    {"NORM.INV", 1}, {"NORM.S.DIST", 1}, {"NORMSDIST", 0}, {"NORM.S.INV", 1}, {"NORMSINV", 0}, {"NOT", 0},
    {"NOW", 0}, {"NPER", 0}, {"NPV", 0}, {"NUMBERVALUE", 2}, {"OCT2BIN", 0}, {"OCT2DEC", 0}, {"OCT2HEX", 0},
    {"ODD", 0}, {"ODDFPRICE", 0}, {"ODDFYIELD", 0}, {"ODDLPRICE", 0}, {"ODDLYIELD", 0}, {"OFFSET", 0},
    {"OR", 0}, {"PDURATION", 2}, {"PEARSON", 0}, {"PERCENTILE.EXC", 1}, {"PERCENTILE.INC", 1},
    {"PERCENTILE", 0}, {"PERCENTRANK.EXC", 1}, {"PERCENTRANK.INC", 1}, {"PERCENTRANK", 0}, {"PERMUT", 0},
    {"PERMUTATIONA", 2}, {"PHI", 0}, {"PHONETIC", 0}, {"PI", 0}, {"PMT", 0}, {"POISSON.DIST", 1},
    {"POISSON", 0}, {"POWER", 0}, {"PPMT", 0}, {"PRICE", 0}, {"PRICEDISC", 0}, {"PRICEMAT", 0}, {"PROB", 0},
    {"PRODUCT", 0}, {"PROPER", 0}, {"PV", 0}, {"QUARTILE", 0}, {"QUARTILE.EXC", 1}, {"QUARTILE.INC", 1},
    {"QUOTIENT", 0}, {"RADIANS", 0}, {"RAND", 0}, {"RANDARRAY", 6}, {"RANDBETWEEN", 0}, {"RANK.AVG", 1},
    {"RANK.EQ", 1}, {"RANK", 0}, {"RATE", 0}, {"RECEIVED", 0}, {"REGISTER.ID", 0}, {"REPLACE", 0},
    {"REPLACEB", 0}, {"REPT", 0}, {"RIGHT", 0}, {"RIGHTB", 0}, {"ROMAN", 0}, {"ROUND", 0}, {"ROUNDDOWN", 0},
    {"ROUNDUP", 0}, {"ROW", 0}, {"ROWS", 0}, {"RRI", 2}, {"RSQ", 0}, {"RTD", 0}, {"SEARCH", 0}, {"SEARCHB", 0},
    {"SEC", 2}, {"SECH", 2}, {"SECOND", 0}, {"SEQUENCE", 6}, {"SERIESSUM", 0}, {"SHEET", 2}, {"SHEETS", 2},
    {"SIGN", 0}, {"SIN", 0}, {"SINH", 0}, {"SKEW", 0}, {"SKEW.P", 2}, {"SLN", 0}, {"SLOPE", 0}, {"SMALL", 0},
    {"SORT", 6}, {"SORTBY", 6}, {"SQRT", 0}, {"SQRTPI", 0}, {"STANDARDIZE", 0}, {"STOCKHISTORY", 0},
    {"STDEV", 0}, {"STDEV.P", 1}, {"STDEV.S", 1}, {"STDEVA", 0}, {"STDEVP", 0}, {"STDEVPA", 0}, {"STEYX", 0},
    {"SUBSTITUTE", 0}, {"SUBTOTAL", 0}, {"SUM", 0}, {"SUMIF", 0}, {"SUMIFS", 0}, {"SUMPRODUCT", 0},
    {"SUMSQ", 0}, {"SUMX2MY2", 0}, {"SUMX2PY2", 0}, {"SUMXMY2", 0}, {"SWITCH", 6}, {"SYD", 0}, {"T", 0},
    {"TAN", 0}, {"TANH", 0}, {"TBILLEQ", 0}, {"TBILLPRICE", 0}, {"TBILLYIELD", 0}, {"T.DIST", 1},
    {"T.DIST.2T", 1}, {"T.DIST.RT", 1}, {"TDIST", 0}, {"TEXT", 0}, {"TEXTJOIN", 4}, {"TIME", 0},
    {"TIMEVALUE", 0}, {"T.INV", 1}, {"T.INV.2T", 1}, {"TINV", 0}, {"TODAY", 0}, {"TRANSPOSE", 0}, {"TREND", 0},
    {"TRIM", 0}, {"TRIMMEAN", 0}, {"TRUE", 0}, {"TRUNC", 0}, {"T.TEST", 1}, {"TTEST", 0}, {"TYPE", 0},
    {"UNICHAR", 2}, {"UNICODE", 2}, {"UNIQUE", 6}, {"UPPER", 0}, {"VALUE", 0}, {"VALUETOTEXT", 6}, {"VAR", 0},
    {"VAR.P", 1}, {"VAR.S", 1}, {"VARA", 0}, {"VARP", 0}, {"VARPA", 0}, {"VDB", 0}, {"VLOOKUP", 0},
    {"WEBSERVICE", 2}, {"WEEKDAY", 0}, {"WEEKNUM", 0}, {"WEIBULL", 0}, {"WEIBULL.DIST", 1}, {"WORKDAY", 0},
    {"WORKDAY.INTL", 1}, {"XIRR", 0}, {"XLOOKUP", 6}, {"XMATCH", 6}, {"XNPV", 0}, {"XOR", 2}, {"YEAR", 0},
    {"YEARFRAC", 0}, {"YIELD", 0}, {"YIELDDISC", 0}, {"YIELDMAT", 0}, {"Z.TEST", 1}, {"ZTEST", 0},
};
static_assert(std::size(function_rows) == function_count);

constexpr size_t longest_name = std::ranges::max(function_rows, {}, [](const function_row_t& r) {
    return r.name.size();
}).name.size();

// Row numbers in name order, where equal names would sit side by side.
constexpr auto by_name = [] {
    std::array<uint16_t, function_count> order{};
    for (uint16_t i = 0; i < order.size(); ++i) order[i] = i;
    std::ranges::sort(order, {}, [](uint16_t i) { return function_rows[i].name; });
    return order;
}();

constexpr bool names_are_distinct_upper_case() {
    for (size_t i = 1; i < by_name.size(); ++i)
        if (function_rows[by_name[i - 1]].name == function_rows[by_name[i]].name) return false;
    for (const auto& row : function_rows)
        for (char c : row.name)
            if (ascii_is_lower(c)) return false;
    return true;
}
static_assert(names_are_distinct_upper_case());

} // namespace

namespace {

// Open addressing over the names, built on first use: the parser asks about
// every name of a formula, cells included, and a look-up then costs one hash and
// about one comparison instead of a binary search's ten.
class name_index_t {
public:
    name_index_t() {
        for (uint16_t row = 0; row < function_count; ++row) {
            size_t slot = slot_of(function_rows[row].name);
            while (rows_[slot]) slot = (slot + 1) & (slots - 1);
            rows_[slot] = uint16_t(row + 1);
        }
    }

    // The id of an upper-case name, 0 when none.
    uint32_t find(std::string_view upper) const noexcept {
        for (size_t slot = slot_of(upper); rows_[slot]; slot = (slot + 1) & (slots - 1))
            if (function_rows[rows_[slot] - 1].name == upper) return rows_[slot];
        return 0;
    }

private:
    static constexpr size_t slots = std::bit_ceil(function_count * 2);

    static size_t slot_of(std::string_view name) noexcept {
        return size_t(fnv1a_64(reinterpret_cast<const unsigned char*>(name.data()), name.size())) & (slots - 1);
    }

    std::array<uint16_t, slots> rows_{};  // row + 1; 0 marks a free slot
};

} // namespace

// Most names a formula holds are cells ("A1", "$B$2"); these two tests turn them
// away before the hash, and no function name passes them.
constexpr bool cell_like(std::string_view name) noexcept {
    return name[0] == '$' || (name.size() > 1 && ascii_is_digit(name[1]));
}
static_assert(std::ranges::none_of(function_rows, [](const function_row_t& r) { return cell_like(r.name); }));

uint32_t lookup_function_id(std::string_view name) noexcept {
    if (name.empty() || name.size() > longest_name || cell_like(name)) return 0;
    char buffer[longest_name];
    std::ranges::transform(name, buffer, ascii_to_upper);
    static const name_index_t index;
    return index.find(std::string_view(buffer, name.size()));
}

std::string_view function_name(uint32_t id) noexcept {
    return id >= 1 && id <= function_count ? function_rows[id - 1].name : std::string_view();
}

bool is_bare_function(uint32_t id) noexcept {
    static const uint32_t true_id = lookup_function_id("TRUE");
    static const uint32_t false_id = lookup_function_id("FALSE");
    return id != 0 && (id == true_id || id == false_id);
}

} // namespace vex::mta::formula
