#include "support/sddl_facts.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "platform/ascii.h"

namespace testing_support {
namespace {

struct Alias {
    const wchar_t* alias;
    const wchar_t* sid;  // null: relative to a domain, not known here
};

constexpr Alias kAliases[] = {
    {L"AA", L"S-1-5-32-579"}, {L"AC", L"S-1-15-2-1"},   {L"AN", L"S-1-5-7"},
    {L"AO", L"S-1-5-32-548"}, {L"AP", nullptr},         {L"AS", L"S-1-18-1"},
    {L"AU", L"S-1-5-11"},     {L"BA", L"S-1-5-32-544"}, {L"BG", L"S-1-5-32-546"},
    {L"BO", L"S-1-5-32-551"}, {L"BU", L"S-1-5-32-545"}, {L"CA", nullptr},
    {L"CD", L"S-1-5-32-574"}, {L"CG", L"S-1-3-1"},      {L"CN", nullptr},
    {L"CO", L"S-1-3-0"},      {L"CY", L"S-1-5-32-569"}, {L"DA", nullptr},
    {L"DC", nullptr},         {L"DD", nullptr},         {L"DG", nullptr},
    {L"DU", nullptr},         {L"EA", nullptr},         {L"ED", L"S-1-5-9"},
    {L"EK", nullptr},         {L"ER", L"S-1-5-32-573"}, {L"ES", L"S-1-5-32-576"},
    {L"HA", L"S-1-5-32-578"}, {L"HI", L"S-1-16-12288"}, {L"IS", L"S-1-5-32-568"},
    {L"IU", L"S-1-5-4"},      {L"KA", nullptr},         {L"LA", nullptr},
    {L"LG", nullptr},         {L"LS", L"S-1-5-19"},     {L"LU", L"S-1-5-32-559"},
    {L"LW", L"S-1-16-4096"},  {L"ME", L"S-1-16-8192"},  {L"MP", L"S-1-16-8448"},
    {L"MU", L"S-1-5-32-558"}, {L"NO", L"S-1-5-32-556"}, {L"NS", L"S-1-5-20"},
    {L"NU", L"S-1-5-2"},      {L"OW", L"S-1-3-4"},      {L"PA", nullptr},
    {L"PO", L"S-1-5-32-550"}, {L"PS", L"S-1-5-10"},     {L"PU", L"S-1-5-32-547"},
    {L"RA", L"S-1-5-32-575"}, {L"RC", L"S-1-5-12"},     {L"RD", L"S-1-5-32-555"},
    {L"RE", L"S-1-5-32-552"}, {L"RM", L"S-1-5-32-580"}, {L"RO", nullptr},
    {L"RS", nullptr},         {L"RU", L"S-1-5-32-554"}, {L"SA", nullptr},
    {L"SI", L"S-1-16-16384"}, {L"SO", L"S-1-5-32-549"}, {L"SS", L"S-1-18-2"},
    {L"SU", L"S-1-5-6"},      {L"SY", L"S-1-5-18"},     {L"UD", L"S-1-5-84-0-0-0-0-0"},
    {L"WD", L"S-1-1-0"},      {L"WR", L"S-1-5-33"},
};

struct Letters {
    const wchar_t* letters;
    uint32_t bits;
};

constexpr Letters kRightLetters[] = {
    {L"GA", 0x10000000}, {L"GR", 0x80000000}, {L"GW", 0x40000000}, {L"GX", 0x20000000},
    {L"RC", 0x20000},    {L"SD", 0x10000},    {L"WD", 0x40000},    {L"WO", 0x80000},
    {L"RP", 0x10},       {L"WP", 0x20},       {L"CC", 0x1},        {L"DC", 0x2},
    {L"LC", 0x4},        {L"SW", 0x8},        {L"LO", 0x80},       {L"DT", 0x40},
    {L"CR", 0x100},      {L"FA", 0x1F01FF},   {L"FR", 0x120089},   {L"FW", 0x120116},
    {L"FX", 0x1200A0},   {L"KA", 0xF003F},    {L"KR", 0x20019},    {L"KW", 0x20006},
    {L"KX", 0x20019},    {L"NR", 0x2},        {L"NW", 0x1},        {L"NX", 0x4},
};

// The entry header's bits; trust protection has none there.
constexpr Letters kAceFlags[] = {{L"OI", 0x1},  {L"CI", 0x2},  {L"NP", 0x4}, {L"IO", 0x8}, {L"ID", 0x10},
                                     {L"CR", 0x20}, {L"SA", 0x40}, {L"FA", 0x80}, {L"TP", 0}};

using platform::AsciiUpper;

constexpr bool SameText(std::wstring_view a, std::wstring_view b) { return platform::EqualsIgnoringAsciiCase(a, b); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c) {
    if (IsDigit(c)) return c - L'0';
    c = AsciiUpper(c);
    return (c >= L'A' && c <= L'F') ? c - L'A' + 10 : -1;
}

// "0x" and hex digits, or decimal digits; a number past 32 bits is no mask.
std::optional<uint32_t> ParseNumber(std::wstring_view text) {
    uint64_t value = 0;
    if (text.size() > 2 && text[0] == L'0' && AsciiUpper(text[1]) == L'X') {
        for (wchar_t c : text.substr(2)) {
            const int digit = HexValue(c);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<uint64_t>(digit);
            if (value > 0xFFFFFFFFu) return std::nullopt;
        }
        return static_cast<uint32_t>(value);
    }
    // A leading 0 would be octal to the platform's reader: not guessed at.
    if (text.empty() || (text.size() > 1 && text[0] == L'0')) return std::nullopt;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

// Two-letter names from `table`, or a number; rights may not be empty, flags may.
template <size_t N>
std::optional<uint32_t> ParseLetters(std::wstring_view text, const Letters (&table)[N], bool mayBeEmpty) {
    if (!text.empty() && IsDigit(text[0])) return ParseNumber(text);
    if ((text.empty() && !mayBeEmpty) || text.size() % 2 != 0) return std::nullopt;
    uint32_t bits = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        const std::wstring_view pair = text.substr(i, 2);
        bool known = false;
        for (const Letters& entry : table) {
            if (SameText(pair, entry.letters)) {
                bits |= entry.bits;
                known = true;
            }
        }
        if (!known) return std::nullopt;
    }
    return bits;
}

bool IsSidString(std::wstring_view text) {
    if (text.size() < 5 || AsciiUpper(text[0]) != L'S' || text[1] != L'-') return false;
    size_t fields = 0;
    size_t digits = 0;
    for (wchar_t c : text.substr(2)) {
        if (c == L'-') {
            if (digits == 0) return false;
            ++fields;
            digits = 0;
        } else if (IsDigit(c)) {
            ++digits;
        } else {
            return false;
        }
    }
    return digits > 0 && fields >= 1;
}

// Reads "O:", "G:", "D:" and "S:" components in any order, each at most once.
class SddlReader {
public:
    explicit SddlReader(std::wstring_view text) : text_(text) {}

    bool Read(trust::SecurityFacts& out) {
        bool seen[4] = {};
        while (pos_ < text_.size()) {
            if (!AtComponent(pos_)) return false;
            const wchar_t kind = AsciiUpper(text_[pos_]);
            const size_t slot = kind == L'O' ? 0 : kind == L'G' ? 1 : kind == L'D' ? 2 : 3;
            if (seen[slot]) return false;
            seen[slot] = true;
            pos_ += 2;
            if (kind == L'O' || kind == L'G') {
                const std::wstring sid = SidOfSddlAccount(AccountText());
                if (sid.empty()) return false;
                if (kind == L'O') out.owner = sid;
            } else if (kind == L'D') {
                bool nullDacl = false;
                if (!ReadAcl(&nullDacl, &out.dacl)) return false;
                out.daclPresent = !nullDacl;
            } else {
                bool ignoredNull = false;
                std::vector<trust::AccessEntry> ignored;
                if (!ReadAcl(&ignoredNull, &ignored)) return false;
            }
        }
        return true;
    }

private:
    bool AtComponent(size_t at) const {
        if (at + 1 >= text_.size() || text_[at + 1] != L':') return false;
        const wchar_t c = AsciiUpper(text_[at]);
        return c == L'O' || c == L'G' || c == L'D' || c == L'S';
    }

    std::wstring_view AccountText() {
        const size_t start = pos_;
        while (pos_ < text_.size() && !AtComponent(pos_)) ++pos_;
        return text_.substr(start, pos_ - start);
    }

    bool ReadAcl(bool* nullAcl, std::vector<trust::AccessEntry>* aces) {
        constexpr std::wstring_view kNoAccessControl = L"NO_ACCESS_CONTROL";
        while (pos_ < text_.size() && text_[pos_] != L'(' && !AtComponent(pos_)) {
            const std::wstring_view rest = text_.substr(pos_);
            if (rest.size() >= kNoAccessControl.size() &&
                SameText(rest.substr(0, kNoAccessControl.size()), kNoAccessControl)) {
                *nullAcl = true;
                pos_ += kNoAccessControl.size();
            } else if (rest.size() >= 2 &&
                       (SameText(rest.substr(0, 2), L"AI") || SameText(rest.substr(0, 2), L"AR"))) {
                pos_ += 2;
            } else if (AsciiUpper(rest[0]) == L'P') {
                pos_ += 1;
            } else {
                return false;
            }
        }
        while (pos_ < text_.size() && text_[pos_] == L'(') {
            const size_t close = MatchingParenthesis(pos_);
            if (close == std::wstring_view::npos) return false;
            trust::AccessEntry ace;
            if (!ReadAce(text_.substr(pos_ + 1, close - pos_ - 1), ace)) return false;
            aces->push_back(std::move(ace));
            pos_ = close + 1;
        }
        return true;
    }

    // Conditions of callback entries nest parentheses and quote literals.
    size_t MatchingParenthesis(size_t open) const {
        int depth = 0;
        bool quoted = false;
        for (size_t i = open; i < text_.size(); ++i) {
            const wchar_t c = text_[i];
            if (c == L'"') quoted = !quoted;
            if (quoted) continue;
            if (c == L'(') ++depth;
            if (c == L')' && --depth == 0) return i;
        }
        return std::wstring_view::npos;
    }

    // type;flags;rights;object guid;inherited object guid;account[;condition]
    static bool ReadAce(std::wstring_view inner, trust::AccessEntry& ace) {
        std::wstring_view fields[6];
        size_t start = 0;
        for (int i = 0; i < 6; ++i) {
            const size_t semicolon = inner.find(L';', start);
            if (semicolon == std::wstring_view::npos && i < 5) return false;
            const size_t end = semicolon == std::wstring_view::npos ? inner.size() : semicolon;
            fields[i] = inner.substr(start, end - start);
            start = end + 1;
        }
        if (fields[0].empty()) return false;
        for (wchar_t c : fields[0]) {
            if (!((AsciiUpper(c) >= L'A' && AsciiUpper(c) <= L'Z'))) return false;
        }
        const std::optional<uint32_t> flags = ParseLetters(fields[1], kAceFlags, true);
        const std::optional<uint32_t> rights = ParseLetters(fields[2], kRightLetters, false);
        ace.sid = SidOfSddlAccount(fields[5]);
        if (!flags || !rights || ace.sid.empty()) return false;
        ace.kind = SameText(fields[0], L"A")   ? trust::EntryKind::Allow
                   : SameText(fields[0], L"D") ? trust::EntryKind::Deny
                                               : trust::EntryKind::Other;
        ace.flags = *flags;
        ace.mask = *rights;
        return true;
    }

    std::wstring_view text_;
    size_t pos_ = 0;
};

}  // namespace

std::wstring SidOfSddlAccount(std::wstring_view account) {
    if (IsSidString(account)) {
        std::wstring sid(account);
        sid[0] = L'S';
        return sid;
    }
    for (const Alias& a : kAliases) {
        if (SameText(account, a.alias)) return a.sid ? a.sid : a.alias;
    }
    return {};
}

std::optional<trust::SecurityFacts> FactsFromSddl(std::wstring_view sddl) {
    trust::SecurityFacts facts;
    if (!SddlReader(sddl).Read(facts)) return std::nullopt;
    return facts;
}

trust::SecurityFacts Facts(std::wstring_view sddl) {
    std::optional<trust::SecurityFacts> facts = FactsFromSddl(sddl);
    if (!facts) throw std::invalid_argument("not a descriptor the platform would read");
    return *facts;
}

}  // namespace testing_support
