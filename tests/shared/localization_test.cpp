// Translations: run by CTest with LANGUAGE=de and a UTF-8 locale (see tests/CMakeLists.txt).
#include "file_template.h"
#include "localization.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tessary {
namespace {

TEST(GermanTranslation, BuiltInTemplateNamesAndFallbacks)
{
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
    const auto& templates = builtInTemplates();
    ASSERT_EQ(templates.size(), 3u);
    EXPECT_EQ(templates[0].name, "Textdatei");
    EXPECT_EQ(templates[1].name, "Markdown-Datei");
    EXPECT_EQ(templates[2].name, "Leere Datei");
    EXPECT_EQ(templates[0].fileName(), "untitled.txt") << "file names are not translated";
    EXPECT_EQ(tr("A text nobody translated"), "A text nobody translated");
}

} // namespace
} // namespace tessary
