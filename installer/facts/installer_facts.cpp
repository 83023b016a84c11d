#include "installer/facts/installer_facts.h"

#include "com/com_classes.h"
#include "installer/facts/new_settings.h"
#include "qb/qbxml_request.h"

namespace marlet::installer {

namespace {

// `text` inside an NSIS string in double quotes.
std::string nsisQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '$': out += "$$"; break;
        case '"': out += "$\\\""; break;
        case '\r': out += "$\\r"; break;
        case '\n': out += "$\\n"; break;
        case '\t': out += "$\\t"; break;
        default: out += c;
        }
    }
    return out + "\"";
}

// `text` as an XML attribute's value, quotes included.
std::string xmlQuoted(const std::string& text) {
    std::string out = "\"";
    appendXmlEscaped(out, text);
    return out + "\"";
}

// Stand for the macro's parameters in the file text; no setting's default holds them.
constexpr char kDxPathMark = '\x01';
constexpr char kConfigPathMark = '\x02';

std::string writeNewSettingsMacro() {
    std::string out =
        "; Writes the new file's lines into the open file `handle`: each setting at\n"
        "; the record's default, the two folders as given.\n"
        "!macro WriteNewSettings handle dxPath configPath\n";
    const std::string text = newSettingsText(std::string(1, kDxPathMark), std::string(1, kConfigPathMark));
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        std::string line = nsisQuoted(text.substr(start, end - start));
        for (auto [mark, parameter] : {std::pair{kDxPathMark, "${dxPath}"}, std::pair{kConfigPathMark, "${configPath}"}})
            for (size_t at = line.find(mark); at != std::string::npos; at = line.find(mark, at))
                line.replace(at, 1, parameter);
        out += "  FileWrite ${handle} " + line + "\n";
        start = end;
    }
    return out + "!macroend\n";
}

std::string folderCharacterFaultMacro() {
    std::string out =
        "; Sets `why` to why a folder cannot hold the character `char` (compared\n"
        "; case-sensitively); leaves it as it is when it can.\n"
        "!macro FolderCharacterFault char why\n";
    const char* branch = "${If}";
    for (const BannedCharacters& ban : kFolderBans) {
        const char* test = branch;
        for (const char* c = ban.chars; *c; c++) {
            out += std::string("  ") + test + " ${char} S== " + nsisQuoted(std::string(1, *c)) + "\n";
            test = "${OrIf}";
        }
        out += "    StrCpy ${why} " + nsisQuoted(std::string("it ") + ban.why) + "\n";
        branch = "${ElseIf}";
    }
    return out + "  ${EndIf}\n!macroend\n";
}

}  // namespace

std::string nsisInclude() {
    return "; dxqb.ini as a first installation writes it, and what its folders cannot\n"
           "; hold: made at build time by installer_facts from Marlet's settings table\n"
           "; and file writer. Not to be edited.\n\n" +
           writeNewSettingsMacro() + "\n" + folderCharacterFaultMacro() + "\n" +
           "; Why a folder cannot be written when the ANSI code page cannot hold it.\n"
           "!define FOLDER_NOT_IN_CODE_PAGE " +
           nsisQuoted(std::string("it ") + kNotInCodePage) + "\n";
}

std::string wixComClasses() {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- Made at build time by installer_facts from Marlet's COM class table. -->\n"
        "<Include>\n";
    for (const com::ComClassFacts& c : com::kComClasses) {
        const std::string progId = c.progId;
        const std::string key = std::string("CLSID\\") + c.clsid;
        const std::pair<std::string, std::string> values[] = {
            {progId, c.description},
            {progId + "\\CLSID", c.clsid},
            {key, c.description},
            {key + "\\ProgID", progId},
            {key + "\\LocalServer32", "\"[#MarletExe]\""},
        };
        for (const auto& [name, value] : values)
            out += "  <RegistryValue Root=\"HKCR\" Key=" + xmlQuoted(name) + " Type=\"string\" Value=" +
                   xmlQuoted(value) + "/>\n";
    }
    return out + "</Include>\n";
}

}  // namespace marlet::installer
