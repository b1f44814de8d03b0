// Mapping between the stored bytes and the shown text, and the splice of an edit.
#include "ui/shown_text.h"

#include <QList>

#include <algorithm>

namespace tessary {
namespace {

constexpr char32_t kLineSeparator = 0x2028;
constexpr char32_t kParagraphSeparator = 0x2029;
constexpr char32_t kNoBreakSpace = 0x00a0;
// Qt's own frame markers, which the box also shows as line breaks.
constexpr char32_t kFrameStart = 0xfdd0;
constexpr char32_t kFrameEnd = 0xfdd1;

// The code point at `at` and its length in bytes; an invalid byte is one U+FFFD.
std::pair<char32_t, std::size_t> decode(const std::string& text, std::size_t at)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    std::size_t length = byte < 0x80    ? 1
                         : byte >= 0xf0 ? 4
                         : byte >= 0xe0 ? 3
                         : byte >= 0xc0 ? 2
                                        : 0;
    if (length == 0 || at + length > text.size()) {
        return {0xfffd, 1};
    }
    char32_t point = length == 1 ? byte : byte & (0x7f >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xc0) != 0x80) {
            return {0xfffd, 1};
        }
        point = (point << 6) | (next & 0x3f);
    }
    const bool overlong = (length == 2 && point < 0x80) || (length == 3 && point < 0x800) ||
                          (length == 4 && point < 0x10000);
    if (overlong || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff)) {
        return {0xfffd, 1};
    }
    return {point, length};
}

} // namespace

ShownText::ShownText(std::string stored) : m_stored(std::move(stored))
{
    std::size_t crlf = 0;
    std::size_t cr = 0;
    std::size_t other = 0;
    for (std::size_t at = 0; at < m_stored.size();) {
        auto [point, length] = decode(m_stored, at);
        if (point == '\r' && at + 1 < m_stored.size() && m_stored[at + 1] == '\n') {
            length = 2;
            ++crlf;
        } else if (point == '\r') {
            ++cr;
        } else if (point == '\n' || point == kLineSeparator || point == kParagraphSeparator) {
            ++other;
        }
        const bool lineBreak = point == '\r' || point == '\n' || point == kLineSeparator ||
                               point == kParagraphSeparator || point == kFrameStart ||
                               point == kFrameEnd;
        const char32_t shown = lineBreak ? U'\n' : point == kNoBreakSpace ? U' ' : point;
        const QString units = QString::fromUcs4(&shown, 1);
        for (int unit = 0; unit < units.size(); ++unit) {
            m_offsets.push_back(at);
        }
        m_shown += units;
        at += length;
    }
    m_offsets.push_back(m_stored.size());
    if (crlf > 0 && cr == 0 && other == 0) {
        m_lineBreak = "\r\n";
    } else if (cr > 0 && crlf == 0 && other == 0) {
        m_lineBreak = "\r";
    }
}

void ShownText::edit(const QString& edited, std::size_t from)
{
    if (edited == m_shown) {
        return;
    }
    const auto oldSize = static_cast<std::size_t>(m_shown.size());
    const auto newSize = static_cast<std::size_t>(edited.size());
    std::size_t prefix = 0;
    while (prefix < std::min({oldSize, newSize, from}) && m_shown[prefix] == edited[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < std::min(oldSize, newSize) - prefix &&
           m_shown[oldSize - 1 - suffix] == edited[newSize - 1 - suffix]) {
        ++suffix;
    }
    // A surrogate pair is never split: both ends move to a code point boundary.
    while (prefix > 0 && prefix < oldSize && m_shown[prefix].isLowSurrogate()) {
        --prefix;
    }
    while (suffix > 0 && m_shown[oldSize - suffix].isLowSurrogate()) {
        --suffix;
    }
    std::string inserted;
    for (const char32_t point :
         edited
             .mid(static_cast<qsizetype>(prefix), static_cast<qsizetype>(newSize - prefix - suffix))
             .toUcs4()) {
        inserted += point == U'\n' ? m_lineBreak : QString::fromUcs4(&point, 1).toStdString();
    }
    const std::size_t start = m_offsets[prefix];
    const std::size_t end = m_offsets[oldSize - suffix];
    std::string stored = m_stored.substr(0, start) + inserted;
    if (stored.ends_with('\r') && end < m_stored.size() && m_stored[end] == '\n') {
        stored += '\n'; // a CR meeting an LF would make one break of two
    }
    stored += m_stored.substr(end);
    *this = ShownText(std::move(stored));
}

} // namespace tessary
