// Dotted address text both ways. Any address written and read back is itself;
// any text reads as the address whose octets are its first four "." fields,
// and that address's text reads back unchanged.
#include "chat/number_text.h"
#include "chat/text_fields.h"
#include "support/field_seam.h"
#include "property.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Four fields of one to three digits, no leading zero, joined by ".".
bool isCanonicalDottedText(const std::string &text) {
    if (text.size() < 7 || text.size() > 15 || parlino::testing::fieldCount(text, ".") != 4)
        return false;
    for (std::int32_t n = 1; n <= 4; ++n) {
        const auto field = parlino::parameterField(text, '.', n);
        if (field.empty() || field.size() > 3 || (field.size() > 1 && field[0] == '0'))
            return false;
        for (const char c : field)
            if (c < '0' || c > '9')
                return false;
    }
    return true;
}

void checkAddress(parlino::Ipv4Address address) {
    const std::string text = parlino::addressToText(address);
    PROPERTY(isCanonicalDottedText(text));
    PROPERTY(parlino::textToAddress(text) == address);
    PROPERTY(parlino::addressToText(parlino::textToAddress(text)) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace parlino;
    if (size >= 4) {
        Ipv4Address address;
        std::memcpy(&address, data, sizeof address);
        checkAddress(address);
    }

    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const Ipv4Address address = textToAddress(text);
    checkAddress(address);

    std::uint8_t octets[4];
    std::memcpy(octets, &address, sizeof octets);
    std::string firstFour;
    for (std::int32_t n = 1; n <= 4; ++n) {
        const auto field = parameterField(text, '.', n);
        PROPERTY(octets[n - 1] == octetFromNumber(parseNumber(field)));
        firstFour += std::string(field) + (n < 4 ? "." : "");
    }
    // Fields after the fourth are ignored.
    PROPERTY(textToAddress(firstFour) == address);
    if (testing::fieldCount(text, ".") >= 4)
        PROPERTY(textToAddress(std::string(text) + ".1.2") == address);
    return 0;
}
