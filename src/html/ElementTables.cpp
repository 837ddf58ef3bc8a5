#include "html/ElementTables.h"

#include <iterator>

namespace quill {
namespace {

constexpr std::string_view kInline[] = {
    "A",     "IMG",    "APPLET", "OBJECT", "FONT", "BASEFONT", "BR",  "SCRIPT", "!",      "!--",
    "MAP",   "Q",      "SUB",    "SUP",    "SPAN", "BDO",      "IFRAME", "INPUT", "SELECT", "TEXTAREA",
    "LABEL", "BUTTON", "TT",     "I",      "B",    "U",        "S",   "STRIKE", "BIG",    "SMALL",
    "EM",    "STRONG", "DFN",    "CODE",   "SAMP", "KBD",      "VAR", "CITE",   "ABBR",   "ACRONYM",
};

constexpr std::string_view kBlock[] = {
    "P",       "H1",     "H2",       "H3",     "H4",         "H5",   "H6",      "UL",
    "OL",      "DIR",    "MENU",     "PRE",    "DL",         "DIV",  "CENTER",  "NOSCRIPT",
    "NOFRAMES", "BLOCKQUOTE", "FORM", "ISINDEX", "HR",        "TABLE", "FIELDSET", "ADDRESS",
};

struct Groups {
    NameSet inlineGroup{std::begin(kInline), std::end(kInline)};
    NameSet flowGroup = withBlocks(inlineGroup);
    NameSet tr{"TR"};
    NameSet col{"COL"};
    NameSet cells{"TD", "TH"};
    NameSet nothing;

    static NameSet withBlocks(NameSet names)
    {
        names.insert(std::begin(kBlock), std::end(kBlock));
        return names;
    }
};

ElementTables buildTables(const Groups& groups)
{
    ElementTables tables;
    tables.emptyElements = {"!--",      "!",    "IMG",  "HR",    "INPUT", "COL",     "BR",
                            "WBR",      "BGSOUND", "BASEFONT", "AREA", "LINK", "PARAM", "FRAME",
                            "ISINDEX",  "BASE", "META", "BINDEVENT", "!DOCTYPE"};
    tables.optionalEndElements = {"P",  "DT",       "DD", "LI", "OPTION", "THEAD",
                                  "TFOOT", "COLGROUP", "TR", "TH", "TD",     "@DOCUMENT"};
    tables.contentRows = {
        {"P", &groups.inlineGroup}, {"DT", &groups.inlineGroup}, {"DD", &groups.flowGroup},
        {"LI", &groups.flowGroup},  {"THEAD", &groups.tr},       {"TFOOT", &groups.tr},
        {"COLGROUP", &groups.col},  {"TR", &groups.cells},       {"TH", &groups.flowGroup},
        {"TD", &groups.flowGroup},  {"OPTION", &groups.nothing}, {"@DOCUMENT", &groups.nothing},
    };
    return tables;
}

} // namespace

const ElementTables& elementTables()
{
    static const Groups groups;
    static const ElementTables tables = buildTables(groups);
    return tables;
}

} // namespace quill
