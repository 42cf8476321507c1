#include "MimeParameters.h"

#include "CharsetDecoder.h"
#include "HeaderBlock.h"
#include "HeaderText.h"
#include "HexEscape.h"

#include <map>
#include <vector>

namespace {

constexpr int MaximumSections = 256;

struct Parameter {
    std::string name;
    std::string value;
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string lowered(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    return text;
}

std::vector<Parameter> parameters(std::string_view value)
{
    std::vector<Parameter> found;
    std::size_t position = value.find(';');
    while (position != std::string_view::npos && position < value.size()) {
        ++position;
        while (position < value.size() && isBlank(value[position]))
            ++position;
        // Looking for "=" only up to the next ";" keeps a value of many bare ";" linear.
        const std::size_t equals = value.find_first_of("=;", position);
        if (equals == std::string_view::npos)
            break;
        if (value[equals] == ';') {
            position = equals;
            continue;
        }
        Parameter parameter;
        parameter.name = lowered(trimmed(value.substr(position, equals - position)));
        position = equals + 1;
        while (position < value.size() && isBlank(value[position]))
            ++position;
        if (position < value.size() && value[position] == '"') {
            ++position;
            while (position < value.size() && value[position] != '"') {
                if (value[position] == '\\' && position + 1 < value.size())
                    ++position;
                parameter.value += value[position];
                ++position;
            }
            position = value.find(';', position);
        } else {
            const std::size_t end = value.find(';', position);
            parameter.value = trimmed(value.substr(position, end == std::string_view::npos ? std::string_view::npos : end - position));
            position = end;
        }
        found.push_back(std::move(parameter));
        if (found.size() > static_cast<std::size_t>(MaximumSections) * 4)
            break;
    }
    return found;
}

std::string percentDecoded(std::string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (HexEscape::take(text, i, '%', bytes)) {
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

} // namespace

namespace MimeParameters {

std::string mainValue(std::string_view headerValue)
{
    return lowered(trimmed(headerValue.substr(0, headerValue.find(';'))));
}

std::optional<std::string> raw(std::string_view headerValue, std::string_view name)
{
    for (const Parameter& parameter : parameters(headerValue)) {
        if (HeaderBlock::namesEqual(parameter.name, name))
            return parameter.value;
    }
    return std::nullopt;
}

std::optional<QString> text(std::string_view headerValue, std::string_view name)
{
    const std::vector<Parameter> all = parameters(headerValue);
    struct Section {
        std::string value;
        bool extended = false;
    };
    std::map<int, Section> sections;
    std::optional<std::string> plain;
    for (const Parameter& parameter : all) {
        const std::string_view attribute = parameter.name;
        if (attribute == name) {
            if (!plain)
                plain = parameter.value;
            continue;
        }
        if (!attribute.starts_with(name) || attribute.size() <= name.size() || attribute[name.size()] != '*')
            continue;
        std::string_view rest = attribute.substr(name.size() + 1);
        Section section;
        if (rest.ends_with('*')) {
            section.extended = true;
            rest.remove_suffix(1);
        } else if (rest.empty()) {
            section.extended = true;
        }
        int index = 0;
        if (!rest.empty()) {
            if (rest.size() > 4 || rest.find_first_not_of("0123456789") != std::string_view::npos)
                continue;
            index = std::stoi(std::string(rest));
        }
        if (index >= MaximumSections || sections.contains(index))
            continue;
        section.value = parameter.value;
        sections.emplace(index, std::move(section));
    }

    if (!sections.empty()) {
        std::string charset;
        std::string bytes;
        int expected = 0;
        for (const auto& [index, section] : sections) {
            if (index != expected++)
                break; // a gap ends the value, as the sections after it belong to nothing
            std::string_view value = section.value;
            if (index == 0 && section.extended) {
                const std::size_t first = value.find('\'');
                const std::size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
                if (second != std::string_view::npos) {
                    charset = std::string(value.substr(0, first));
                    value.remove_prefix(second + 1);
                }
            }
            bytes += section.extended ? percentDecoded(value) : std::string(value);
        }
        return CharsetDecoder::decode(bytes, charset);
    }
    if (plain)
        return HeaderText::decode(*plain);
    return std::nullopt;
}

} // namespace MimeParameters
