#include "settings/options.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "platform/platform.h"

namespace marlet {

static bool equalsIgnoreCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

static std::string trimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A decimal number ("-1", "2.5", "1e3") or "&H"/"&O" hexadecimal or octal one.
static std::optional<double> parseNumber(const std::string& t) {
    if (t.empty()) return std::nullopt;
    if (t.size() > 2 && t[0] == '&' && (t[1] == 'H' || t[1] == 'h' || t[1] == 'O' || t[1] == 'o')) {
        int base = (t[1] == 'H' || t[1] == 'h') ? 16 : 8;
        unsigned long long v = 0;
        for (size_t i = 2; i < t.size(); i++) {
            int c = std::tolower(static_cast<unsigned char>(t[i]));
            int d = std::isdigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : 99;
            if (d >= base) return std::nullopt;
            v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
            if (v > 0xFFFFFFFFull) return std::nullopt;
        }
        return static_cast<double>(v);
    }
    size_t i = 0;
    if (t[i] == '+' || t[i] == '-') i++;
    size_t digits = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) i++, digits++;
    if (i < t.size() && t[i] == '.') {
        i++;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) i++, digits++;
    }
    if (digits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        size_t j = i + 1;
        if (j < t.size() && (t[j] == '+' || t[j] == '-')) j++;
        size_t expDigits = 0;
        while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) j++, expDigits++;
        if (expDigits == 0) return std::nullopt;
        i = j;
    }
    if (i != t.size()) return std::nullopt;
    return std::strtod(t.c_str(), nullptr);
}

std::optional<bool> textToBoolean(const std::string& text) {
    std::string t = trimBlanks(text);
    if (equalsIgnoreCase(t, "true")) return true;
    if (equalsIgnoreCase(t, "false")) return false;
    if (auto n = parseNumber(t)) return *n != 0.0;
    return std::nullopt;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        size_t end = lf == std::string::npos ? text.size() : lf;
        size_t cut = (end > start && text[end - 1] == '\r') ? end - 1 : end;
        lines.push_back(text.substr(start, cut - start));
        if (lf == std::string::npos) break;
        start = lf + 1;
    }
    return lines;
}

bool cmOptions::readText(const std::string& bytes) {
    std::vector<std::string> lines = splitLines(bytes);
    // Each line that cannot be read or converted leaves its setting as it is.
    bool whole = true;
    for (const Setting& s : kSettings) {
        size_t i = static_cast<size_t>(s.line - 1);
        if (i >= lines.size()) {
            whole = false;
            continue;
        }
        if (s.kind == SettingKind::Boolean) {
            std::optional<bool> b = textToBoolean(lines[i]);
            if (b) this->*s.flag = *b;
            whole = whole && b.has_value();
        } else {
            this->*s.text = platform().ansiToUtf8(lines[i]);
        }
    }
    return whole;
}

void cmOptions::readOptions(const std::string& filePath) {
    const Platform& p = platform();
    if (!p.fileExists(filePath)) return;
    std::string bytes;
    if (p.readFile(filePath, bytes)) readText(bytes);
}

std::string cmOptions::toText() const {
    std::string t;
    for (const Setting& s : kSettings) {
        if (s.kind == SettingKind::Boolean)
            t += this->*s.flag ? "True" : "False";
        else
            t += this->*s.text;
        t += "\r\n";
    }
    return t;
}

void cmOptions::writeOptions(const std::string& filePath) const {
    const Platform& p = platform();
    if (!p.fileExists(filePath)) return;
    // Replaced in one step, so a failure part way keeps the old settings whole.
    p.replaceFile(filePath, p.utf8ToAnsi(toText(), nullptr), nullptr);
}

}  // namespace marlet
