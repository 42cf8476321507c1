#include "HeaderBlock.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// The end of the line starting at position, after its line end.
std::size_t nextLine(std::string_view text, std::size_t position)
{
    const std::size_t newline = text.find('\n', position);
    return newline == std::string_view::npos ? text.size() : newline + 1;
}

std::string_view withoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

} // namespace

bool HeaderBlock::namesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

HeaderBlock::HeaderBlock(std::string_view message)
{
    std::size_t position = 0;
    std::size_t headerEnd = message.size();
    std::size_t bodyStart = message.size();
    while (position < message.size()) {
        const std::size_t end = nextLine(message, position);
        if (withoutLineEnd(message.substr(position, end - position)).empty()) {
            headerEnd = position;
            bodyStart = end;
            break;
        }
        position = end;
    }
    text_ = message.substr(0, headerEnd);
    body_ = message.substr(bodyStart);

    const std::string_view scanned = text_.substr(0, std::min(text_.size(), MaximumBytes));
    position = 0;
    while (position < scanned.size() && fields_.size() < MaximumFields) {
        const std::size_t start = position;
        std::size_t end = nextLine(scanned, position);
        while (end < scanned.size() && isSpaceOrTab(scanned[end]))
            end = nextLine(scanned, end);
        position = end;
        const std::string_view raw = scanned.substr(start, end - start);
        const std::size_t colon = raw.find(':');
        if (colon == std::string_view::npos || colon == 0 || raw.substr(0, colon).find('\n') != std::string_view::npos)
            continue;
        Field field;
        std::string_view name = raw.substr(0, colon);
        while (!name.empty() && isSpaceOrTab(name.back()))
            name.remove_suffix(1);
        field.name = std::string(name);
        field.raw = raw;
        std::string_view rest = raw.substr(colon + 1);
        while (!rest.empty() && isSpaceOrTab(rest.front()))
            rest.remove_prefix(1);
        field.value.reserve(rest.size());
        for (const char c : rest) {
            if (c != '\r' && c != '\n')
                field.value += c;
        }
        while (!field.value.empty() && isSpaceOrTab(field.value.back()))
            field.value.pop_back();
        fields_.push_back(std::move(field));
    }
}

const std::string* HeaderBlock::value(std::string_view name) const
{
    for (const Field& field : fields_) {
        if (namesEqual(field.name, name))
            return &field.value;
    }
    return nullptr;
}
