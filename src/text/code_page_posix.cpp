// The ANSI code page of a Linux process is the character set of its locale
// (read once, from the environment); where that is plain ASCII (the C locale)
// text is taken as UTF-8.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "text/code_page.h"

namespace pushnote::codepage {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr const char* kWideCharset =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

struct Charset {
    char name[64] = "UTF-8";
};

bool IsPlainAscii(const char* name) {
    return std::strcmp(name, "ANSI_X3.4-1968") == 0 || std::strcmp(name, "ASCII") == 0 ||
           std::strcmp(name, "US-ASCII") == 0;
}

// Read through a locale object of our own: the global setlocale is the host's.
Charset ReadLocaleCharset() noexcept {
    Charset charset;
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!locale) return charset;
    const char* name = nl_langinfo_l(CODESET, locale);
    if (name && *name && !IsPlainAscii(name) && std::strlen(name) < sizeof charset.name) {
        std::strcpy(charset.name, name);
    }
    freelocale(locale);
    return charset;
}

// Read once per process, as a Windows process's ANSI code page is fixed while
// it runs: reading the locale costs some 50 us, several times per message.
const Charset& LocaleCharset() noexcept {
    static const Charset charset = ReadLocaleCharset();
    return charset;
}

class Converter {
public:
    explicit Converter(const char* fromCharset) noexcept
        : descriptor_(iconv_open(kWideCharset, fromCharset)) {
        if (!*this) descriptor_ = iconv_open(kWideCharset, "UTF-8");
    }
    ~Converter() {
        if (*this) iconv_close(descriptor_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    explicit operator bool() const noexcept { return descriptor_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const noexcept { return descriptor_; }

private:
    iconv_t descriptor_;
};

// Collects output units, counting them all and storing them while they fit.
template <typename Unit>
class UnitSink {
public:
    UnitSink(Unit* destination, int capacity) : destination_(destination), capacity_(capacity) {}
    void Put(Unit unit) {
        if (destination_ && count_ < capacity_) destination_[count_] = unit;
        ++count_;
    }
    int Result() const { return destination_ && count_ > capacity_ ? 0 : count_; }

private:
    Unit* destination_;
    int capacity_;
    int count_ = 0;
};

}  // namespace

int AnsiToWide(const char* source, char16_t* destination, int capacity) noexcept {
    Converter converter(LocaleCharset().name);
    if (!converter) return 0;
    UnitSink<char16_t> sink(destination, capacity);

    char* input = const_cast<char*>(source);
    std::size_t inputLeft = std::strlen(source) + 1;
    while (inputLeft > 0) {
        char16_t chunk[256];
        char* output = reinterpret_cast<char*>(chunk);
        std::size_t outputLeft = sizeof chunk;
        const std::size_t status = iconv(converter.get(), &input, &inputLeft, &output, &outputLeft);
        const auto produced = static_cast<int>((sizeof chunk - outputLeft) / sizeof(char16_t));
        for (int i = 0; i < produced; ++i) sink.Put(chunk[i]);
        if (status == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte the code page cannot map: substitute it and go on.
            sink.Put(kReplacement);
            ++input;
            --inputLeft;
            iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return sink.Result();
}

int WideToUtf8(const char16_t* source, char* destination, int capacity) noexcept {
    UnitSink<char> sink(destination, capacity);
    for (std::size_t i = 0;; ++i) {
        char32_t code = source[i];
        if (code >= 0xD800 && code <= 0xDBFF && source[i + 1] >= 0xDC00 &&
            source[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (source[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = kReplacement;
        }
        if (code < 0x80) {
            sink.Put(static_cast<char>(code));
        } else if (code < 0x800) {
            sink.Put(static_cast<char>(0xC0 | (code >> 6)));
            sink.Put(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            sink.Put(static_cast<char>(0xE0 | (code >> 12)));
            sink.Put(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            sink.Put(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            sink.Put(static_cast<char>(0xF0 | (code >> 18)));
            sink.Put(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            sink.Put(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            sink.Put(static_cast<char>(0x80 | (code & 0x3F)));
        }
        if (code == 0) break;
    }
    return sink.Result();
}

}  // namespace pushnote::codepage
