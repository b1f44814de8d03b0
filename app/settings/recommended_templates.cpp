// The catalogue's contents and the "already added" rule.
#include "settings/recommended_templates.h"

#include "shared/localization.h"

#include <QString>

#include <algorithm>

namespace tessary {
namespace {

constexpr const char* kMarkdownStarter = "# Title\n\n";

constexpr const char* kHtmlSkeleton = "<!doctype html>\n"
                                      "<html lang=\"en\">\n"
                                      "<head>\n"
                                      "  <meta charset=\"utf-8\">\n"
                                      "  <meta name=\"viewport\" content=\"width=device-width, "
                                      "initial-scale=1\">\n"
                                      "  <title>Untitled</title>\n"
                                      "</head>\n"
                                      "<body>\n"
                                      "\n"
                                      "</body>\n"
                                      "</html>\n";

QString lowered(const std::string& text)
{
    return QString::fromStdString(text).toLower();
}

} // namespace

const std::vector<FileTemplate>& recommendedTemplates()
{
    static const std::vector<FileTemplate> catalogue = [] {
        const auto entry = [](std::string name, const char* ext, const char* contents) {
            return FileTemplate{Uuid::random(), std::move(name), "untitled", ext, contents};
        };
        return std::vector<FileTemplate>{
            entry(tr("Text File"), "txt", ""),
            entry(tr("Markdown File"), "md", kMarkdownStarter),
            entry(tr("JSON File"), "json", "{}\n"),
            entry(tr("YAML File"), "yaml", ""),
            entry(tr("CSV File"), "csv", ""),
            entry(tr("HTML Page"), "html", kHtmlSkeleton),
            entry(tr("CSS File"), "css", ""),
            entry(tr("JavaScript File"), "js", ""),
            entry(tr("TypeScript File"), "ts", ""),
            entry(tr("Python Script"), "py", "#!/usr/bin/env python3\n\n"),
            entry(tr("Shell Script"), "sh", "#!/bin/sh\nset -eu\n\n"),
            entry(tr("Swift File"), "swift", "import Foundation\n\n"),
            entry(tr("Empty File"), "", ""),
        };
    }();
    return catalogue;
}

bool isAlreadyAdded(const FileTemplate& entry, const std::vector<FileTemplate>& templates)
{
    const QString extension = lowered(entry.fileExtension);
    return std::any_of(templates.begin(), templates.end(), [&](const FileTemplate& t) {
        return lowered(t.fileExtension) == extension;
    });
}

} // namespace tessary
