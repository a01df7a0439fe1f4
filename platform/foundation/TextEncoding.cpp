#include "platform/foundation/TextEncoding.h"

#include <cerrno>
#include <iconv.h>

#include "platform/foundation/Unicode.h"

namespace ns {

StringEncoding stringEncodingFromCFStringEncoding(uint32_t cfEncoding) {
    struct Pair {
        uint32_t cf;
        StringEncoding ns;
    };
    static constexpr Pair own[] = {
        {0x0600, StringEncoding::ASCII},
        {0x08000100, StringEncoding::UTF8},
        {0x0201, StringEncoding::ISOLatin1},
        {0x0100, StringEncoding::UTF16},
        {0x10000100, StringEncoding::UTF16BigEndian},
        {0x14000100, StringEncoding::UTF16LittleEndian},
        {0x0c000100, StringEncoding::UTF32},
        {0x18000100, StringEncoding::UTF32BigEndian},
        {0x1c000100, StringEncoding::UTF32LittleEndian},
        {0x0920, StringEncoding::JapaneseEUC},
        {0x0421, StringEncoding::ShiftJIS},
        {0x0202, StringEncoding::ISOLatin2},
        {0x0502, StringEncoding::WindowsCP1251},
        {0x0500, StringEncoding::WindowsCP1252},
        {0x0503, StringEncoding::WindowsCP1253},
        {0x0504, StringEncoding::WindowsCP1254},
        {0x0501, StringEncoding::WindowsCP1250},
        {0x0820, StringEncoding::ISO2022JP},
        {0x0000, StringEncoding::MacOSRoman},
    };
    for (const Pair& p : own) {
        if (p.cf == cfEncoding) return p.ns;
    }
    return static_cast<StringEncoding>(0x80000000u | cfEncoding);
}

namespace textencoding {

namespace {

const char* iconvName(StringEncoding encoding) {
    switch (encoding) {
        case StringEncoding::JapaneseEUC: return "EUC-JP";
        case StringEncoding::ShiftJIS: return "CP932";  // the platform's Shift JIS is the DOS (Windows) variant
        case StringEncoding::ISOLatin2: return "ISO-8859-2";
        case StringEncoding::WindowsCP1251: return "CP1251";
        case StringEncoding::WindowsCP1252: return "CP1252";
        case StringEncoding::WindowsCP1253: return "CP1253";
        case StringEncoding::WindowsCP1254: return "CP1254";
        case StringEncoding::WindowsCP1250: return "CP1250";
        case StringEncoding::ISO2022JP: return "ISO-2022-JP";
        case StringEncoding::MacOSRoman: return "MACINTOSH";
        case StringEncoding::GB18030: return "GB18030";
        default: return nullptr;
    }
}

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`, appending to `out`. When `substitute` is set, an
    // input character the target cannot hold is replaced by it (converted
    // too) instead of failing; `in` must then be WTF-8.
    bool run(std::string_view in, std::string& out, const char* substitute) {
        char* inp = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        while (true) {
            size_t r = inLeft ? step(&inp, &inLeft, out) : 0;
            if (r != size_t(-1)) break;
            if (errno != EILSEQ || !substitute) return false;
            char32_t skipped;
            size_t at = size_t(inp - in.data());
            size_t next = unicode::next(in, at, skipped);
            inp += next - at;
            inLeft -= next - at;
            char* sp = const_cast<char*>(substitute);
            size_t sLeft = std::char_traits<char>::length(substitute);
            if (step(&sp, &sLeft, out) == size_t(-1)) return false;
        }
        // Stateful encodings return to their initial shift state.
        return step(nullptr, nullptr, out) != size_t(-1);
    }

private:
    // One iconv call, growing `out` until the input (or the reset) fits.
    size_t step(char** inp, size_t* inLeft, std::string& out) {
        size_t used = out.size();
        out.resize(used + (inLeft ? *inLeft * 4 : 0) + 16);
        while (true) {
            char* outp = out.data() + used;
            size_t outLeft = out.size() - used;
            size_t r = iconv(cd_, inp, inLeft, &outp, &outLeft);
            used = size_t(outp - out.data());
            if (r == size_t(-1) && errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            int saved = errno;
            out.resize(used);
            errno = saved;
            return r;
        }
    }

    iconv_t cd_;
};

bool isUtf32(StringEncoding e) {
    return e == StringEncoding::UTF32 || e == StringEncoding::UTF32BigEndian || e == StringEncoding::UTF32LittleEndian;
}

bool encodeUtf32(std::string_view utf8, StringEncoding encoding, bool lossy, std::string& out) {
    // The plain form writes a byte-order mark and the device's order.
    const bool big = encoding == StringEncoding::UTF32BigEndian;
    auto put = [&](char32_t cp) {
        for (int i = 0; i < 4; ++i) {
            int shift = big ? 24 - 8 * i : 8 * i;
            out += static_cast<char>((cp >> shift) & 0xFF);
        }
    };
    if (encoding == StringEncoding::UTF32) put(0xFEFF);
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        i = unicode::next(utf8, i, cp);
        if (unicode::isSurrogate(cp)) {
            if (!lossy) return false;
            cp = '?';
        }
        put(cp);
    }
    return true;
}

bool decodeUtf32(std::string_view bytes, StringEncoding encoding, std::string& out) {
    if (bytes.size() % 4) return false;
    auto b = [&](size_t i) { return char32_t(static_cast<unsigned char>(bytes[i])); };
    bool big = encoding != StringEncoding::UTF32LittleEndian;
    size_t i = 0;
    if (encoding == StringEncoding::UTF32 && bytes.size() >= 4) {
        if (b(0) == 0 && b(1) == 0 && b(2) == 0xFE && b(3) == 0xFF) {
            i = 4;
        } else if (b(0) == 0xFF && b(1) == 0xFE && b(2) == 0 && b(3) == 0) {
            big = false;
            i = 4;
        }
    }
    for (; i < bytes.size(); i += 4) {
        char32_t cp = big ? (b(i) << 24 | b(i + 1) << 16 | b(i + 2) << 8 | b(i + 3))
                          : (b(i + 3) << 24 | b(i + 2) << 16 | b(i + 1) << 8 | b(i));
        if (cp > 0x10FFFF || unicode::isSurrogate(cp)) return false;
        unicode::append(out, cp);
    }
    return true;
}

}  // namespace

bool encode(std::string_view utf8, StringEncoding encoding, bool lossy, std::string& out) {
    if (isUtf32(encoding)) return encodeUtf32(utf8, encoding, lossy, out);
    const char* name = iconvName(encoding);
    if (!name) return false;
    Converter converter(name, "UTF-8");
    return converter.valid() && converter.run(utf8, out, lossy ? "?" : nullptr);
}

bool decode(std::string_view bytes, StringEncoding encoding, std::string& out) {
    if (isUtf32(encoding)) return decodeUtf32(bytes, encoding, out);
    const char* name = iconvName(encoding);
    if (!name) return false;
    Converter converter("UTF-8", name);
    return converter.valid() && converter.run(bytes, out, nullptr);
}

}  // namespace textencoding

}  // namespace ns
