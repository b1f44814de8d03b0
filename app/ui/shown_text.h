// A stored text as a plain-text box shows it, and an edit of the shown text carried back
// into the stored bytes. The box shows every line break (CR LF, lone CR, LF, U+2028, U+2029)
// as one paragraph break and a no-break space as a space, and cannot show invalid UTF-8, so
// writing back what it shows would change text the user never touched. Instead the part of
// the shown text that an edit changed is spliced into the stored bytes; everything outside
// it stays byte for byte as it was.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace tessary {

class ShownText {
public:
    ShownText() = default;
    explicit ShownText(std::string stored);

    const std::string& stored() const { return m_stored; }
    // What the box shows for the stored text (line breaks as '\n').
    const QString& shown() const { return m_shown; }

    // The box now shows `edited`, changed from position `from` on (where the box says the
    // change began: it tells two equal neighbours apart, such as a space and a no-break
    // space). Changes the stored text only there. Line breaks typed into a text whose
    // breaks are all CR LF (or all CR) are written the same way.
    void edit(const QString& edited, std::size_t from);

private:
    std::string m_stored;
    QString m_shown;
    // Byte offset in m_stored of each UTF-16 position of m_shown, and one past the end.
    std::vector<std::size_t> m_offsets;
    std::string m_lineBreak = "\n";
};

} // namespace tessary
