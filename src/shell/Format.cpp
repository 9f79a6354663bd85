#include "shell/Format.h"

#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

namespace vsr {

namespace {

// One "%[index:][-][width][.precision]type" directive.
struct TDirective {
    bool LeftJustify = false;
    int Width = -1;
    int Precision = -1;
    char Type = 0;
};

[[noreturn]] void Invalid(std::string_view format) {
    throw EFormatError("Format '" + std::string(format) +
                       "' invalid or incompatible with argument");
}

class TFormatter {
public:
    TFormatter(std::string_view format, std::span<const TFormatArg> args)
        : FFormat(format), FArgs(args) {}

    std::string Run() {
        while (FPos < FFormat.size()) {
            const char c = FFormat[FPos++];
            if (c != '%')
                FOut += c;
            else if (FPos < FFormat.size() && FFormat[FPos] == '%')
                FOut += FFormat[FPos++];
            else
                Directive();
        }
        return std::move(FOut);
    }

private:
    std::string_view FFormat;
    std::span<const TFormatArg> FArgs;
    std::size_t FPos = 0;
    std::size_t FNextArg = 0;
    std::string FOut;

    const TFormatArg& NextArg() {
        if (FNextArg >= FArgs.size())
            Invalid(FFormat);
        return FArgs[FNextArg++];
    }

    // A number in the directive, '*' for the next argument, or -1 when absent.
    int Number() {
        if (FPos < FFormat.size() && FFormat[FPos] == '*') {
            ++FPos;
            const auto* value = std::get_if<std::int64_t>(&NextArg().Value());
            if (!value)
                Invalid(FFormat);
            return static_cast<int>(*value);
        }
        int result = -1;
        while (FPos < FFormat.size() && FFormat[FPos] >= '0' && FFormat[FPos] <= '9')
            result = (result < 0 ? 0 : result * 10) + (FFormat[FPos++] - '0');
        return result;
    }

    TDirective Parse() {
        TDirective d;
        int number = -1;
        if (FPos < FFormat.size() && FFormat[FPos] == '-')
            d.LeftJustify = true, ++FPos;
        number = Number();
        if (FPos < FFormat.size() && FFormat[FPos] == ':') {
            ++FPos;
            FNextArg = static_cast<std::size_t>(number < 0 ? 0 : number);
            if (FPos < FFormat.size() && FFormat[FPos] == '-')
                d.LeftJustify = true, ++FPos;
            number = Number();
        }
        d.Width = number;
        if (FPos < FFormat.size() && FFormat[FPos] == '.') {
            ++FPos;
            d.Precision = Number();
            if (d.Precision < 0)
                d.Precision = 0;
        }
        if (FPos >= FFormat.size())
            Invalid(FFormat);
        d.Type = static_cast<char>(std::tolower(static_cast<unsigned char>(FFormat[FPos++])));
        return d;
    }

    void Directive() {
        const TDirective d = Parse();
        std::string text = Convert(d, NextArg());
        if (d.Width > 0 && text.size() < static_cast<std::size_t>(d.Width)) {
            const std::string pad(static_cast<std::size_t>(d.Width) - text.size(), ' ');
            text = d.LeftJustify ? text + pad : pad + text;
        }
        FOut += text;
    }

    std::string Convert(const TDirective& d, const TFormatArg& arg) {
        switch (d.Type) {
        case 'd':
            return Decimal(d, arg);
        case 'u':
            return Unsigned(d, arg);
        case 'x':
            return Hex(d, arg);
        case 's':
            return Text(d, arg);
        case 'c':
            return Char(arg);
        case 'p':
            return Pointer(arg);
        case 'f':
        case 'e':
        case 'g':
        case 'n':
            return Float(d, Real(arg));
        default:
            Invalid(FFormat);
        }
    }

    static std::string ZeroPad(std::string digits, int precision) {
        if (precision > 0 && digits.size() < static_cast<std::size_t>(precision))
            digits.insert(0, static_cast<std::size_t>(precision) - digits.size(), '0');
        return digits;
    }

    std::string Decimal(const TDirective& d, const TFormatArg& arg) {
        if (const auto* s = std::get_if<std::int64_t>(&arg.Value())) {
            const std::uint64_t magnitude =
                *s < 0 ? 0 - static_cast<std::uint64_t>(*s) : static_cast<std::uint64_t>(*s);
            return (*s < 0 ? "-" : "") + ZeroPad(std::to_string(magnitude), d.Precision);
        }
        if (const auto* u = std::get_if<std::uint64_t>(&arg.Value()))
            return ZeroPad(std::to_string(*u), d.Precision);
        Invalid(FFormat);
    }

    // Negative 32-bit values show as their 32-bit pattern, wider ones as 64-bit.
    std::uint64_t Bits(const TFormatArg& arg) {
        if (const auto* s = std::get_if<std::int64_t>(&arg.Value())) {
            if (*s < 0 && *s >= INT32_MIN)
                return static_cast<std::uint32_t>(static_cast<std::int32_t>(*s));
            return static_cast<std::uint64_t>(*s);
        }
        if (const auto* u = std::get_if<std::uint64_t>(&arg.Value()))
            return *u;
        Invalid(FFormat);
    }

    std::string Unsigned(const TDirective& d, const TFormatArg& arg) {
        return ZeroPad(std::to_string(Bits(arg)), d.Precision);
    }

    std::string Hex(const TDirective& d, const TFormatArg& arg) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%" PRIX64, Bits(arg));
        return ZeroPad(buffer, d.Precision);
    }

    std::string Text(const TDirective& d, const TFormatArg& arg) {
        std::string text;
        if (const auto* s = std::get_if<std::string_view>(&arg.Value()))
            text = *s;
        else if (const auto* c = std::get_if<char>(&arg.Value()))
            text = std::string(1, *c);
        else
            Invalid(FFormat);
        if (d.Precision >= 0 && text.size() > static_cast<std::size_t>(d.Precision))
            text.resize(static_cast<std::size_t>(d.Precision));
        return text;
    }

    std::string Char(const TFormatArg& arg) {
        if (const auto* c = std::get_if<char>(&arg.Value()))
            return std::string(1, *c);
        Invalid(FFormat);
    }

    std::string Pointer(const TFormatArg& arg) {
        const auto* p = std::get_if<const void*>(&arg.Value());
        if (!p)
            Invalid(FFormat);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%016" PRIXPTR, reinterpret_cast<std::uintptr_t>(*p));
        return buffer;
    }

    double Real(const TFormatArg& arg) {
        if (const auto* v = std::get_if<double>(&arg.Value()))
            return *v;
        if (const auto* s = std::get_if<std::int64_t>(&arg.Value()))
            return static_cast<double>(*s);
        if (const auto* u = std::get_if<std::uint64_t>(&arg.Value()))
            return static_cast<double>(*u);
        Invalid(FFormat);
    }

    static std::string Printf(const char* pattern, int precision, double value) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, pattern, precision, value);
        return buffer;
    }

    static std::string Float(const TDirective& d, double value) {
        switch (d.Type) {
        case 'e':
            return Scientific(value, d.Precision < 0 ? 15 : d.Precision);
        case 'g':
            return Printf("%.*G", d.Precision < 0 ? 15 : d.Precision, value);
        case 'n':
            return Thousands(Printf("%.*f", d.Precision < 0 ? 2 : d.Precision, value));
        default:
            return Printf("%.*f", d.Precision < 0 ? 2 : d.Precision, value);
        }
    }

    // Significant digits as precision and an exponent of at least three digits.
    static std::string Scientific(double value, int precision) {
        std::string text = Printf("%.*E", precision > 0 ? precision - 1 : 0, value);
        const std::size_t e = text.find('E');
        if (e == std::string::npos || e + 2 > text.size())
            return text;
        std::string digits = text.substr(e + 2);
        digits.insert(0, digits.size() < 3 ? 3 - digits.size() : 0, '0');
        return text.substr(0, e + 2) + digits;
    }

    static std::string Thousands(const std::string& fixed) {
        const std::size_t start = fixed[0] == '-' ? 1 : 0;
        std::size_t point = fixed.find('.');
        if (point == std::string::npos)
            point = fixed.size();
        std::string result = fixed.substr(0, start);
        for (std::size_t i = start; i < point; ++i) {
            result += fixed[i];
            const std::size_t left = point - i - 1;
            if (left > 0 && left % 3 == 0)
                result += ',';
        }
        return result + fixed.substr(point);
    }
};

} // namespace

std::string FormatArgs(std::string_view format, std::span<const TFormatArg> args) {
    return TFormatter(format, args).Run();
}

} // namespace vsr
