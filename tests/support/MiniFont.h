// The smallest TrueType font that the platform font table accepts: one empty glyph,
// every table a rasteriser asks for, and a naming table with the given names. Tests and
// the installer benchmark generate as many distinct fonts as they need from it.
// Header-only and platform-neutral.
#pragma once

#include "SfntBuilder.h"

#include <string>
#include <vector>

namespace sfnt {

struct MiniFontNames {
    std::string family;           // name ID 1, English (Windows platform)
    std::string fullName;         // name ID 4, English; family when empty
    std::string postscriptName;   // name ID 6; family without spaces when empty
    std::string chineseFullName;  // name ID 4, Simplified Chinese; left out when empty
};

// withPostScript false: no name ID 6 at all.
inline std::string miniFont(const MiniFontNames &names, bool withPostScript = true) {
    std::string head;
    put32(head, 0x00010000);                     // version
    put32(head, 0x00010000);                     // fontRevision
    put32(head, 0);                              // checkSumAdjustment
    put32(head, 0x5F0F3CF5);                     // magicNumber
    put16(head, 0x000B);                         // flags
    put16(head, 1000);                           // unitsPerEm
    for (int i = 0; i < 4; ++i) put32(head, 0);  // created, modified
    put16(head, 0);
    put16(head, 0);
    put16(head, 500);
    put16(head, 700);  // bounding box
    put16(head, 0);    // macStyle
    put16(head, 8);    // lowestRecPPEM
    put16(head, 2);    // fontDirectionHint
    put16(head, 0);    // indexToLocFormat: short
    put16(head, 0);    // glyphDataFormat

    std::string hhea;
    put32(hhea, 0x00010000);
    put16(hhea, 800);
    put16(hhea, 0x10000 - 200);
    put16(hhea, 0);  // ascender, descender, lineGap
    put16(hhea, 500);
    put16(hhea, 0);
    put16(hhea, 0);
    put16(hhea, 500);  // advanceWidthMax, minLSB, minRSB, xMaxExtent
    put16(hhea, 1);
    put16(hhea, 0);
    put16(hhea, 0);  // caret slope rise/run, offset
    for (int i = 0; i < 4; ++i) put16(hhea, 0);
    put16(hhea, 0);  // metricDataFormat
    put16(hhea, 1);  // numberOfHMetrics

    std::string maxp;
    put32(maxp, 0x00010000);
    put16(maxp, 1);                                            // numGlyphs
    for (int i = 0; i < 13; ++i) put16(maxp, i == 4 ? 2 : 0);  // maxZones = 2

    std::string os2;
    put16(os2, 4);
    put16(os2, 500);
    put16(os2, 400);
    put16(os2, 5);
    put16(os2, 0);  // version .. fsType
    for (std::uint32_t v : {650u, 600u, 0u, 75u, 650u, 600u, 0u, 350u, 50u, 300u}) put16(os2, v);
    put16(os2, 0);         // sFamilyClass
    os2.append(10, '\0');  // panose
    put32(os2, 1);
    put32(os2, 0);
    put32(os2, 0);
    put32(os2, 0);  // ulUnicodeRange1..4
    os2 += "NONE";  // achVendID
    put16(os2, 0x40);
    put16(os2, 0x20);
    put16(os2, 0x20);  // fsSelection REGULAR, first/last char
    put16(os2, 800);
    put16(os2, 0x10000 - 200);
    put16(os2, 0);  // typo ascender, descender, line gap
    put16(os2, 800);
    put16(os2, 200);  // win ascent, descent
    put32(os2, 1);
    put32(os2, 0);  // code page ranges: Latin 1
    put16(os2, 500);
    put16(os2, 700);
    put16(os2, 0);
    put16(os2, 0x20);
    put16(os2, 0);

    std::string hmtx;
    put16(hmtx, 500);
    put16(hmtx, 0);

    std::string cmap;  // Windows Unicode BMP, format 4 with the closing segment only
    put16(cmap, 0);
    put16(cmap, 1);
    put16(cmap, 3);
    put16(cmap, 1);
    put32(cmap, 12);
    put16(cmap, 4);
    put16(cmap, 24);
    put16(cmap, 0);
    put16(cmap, 2);
    put16(cmap, 2);
    put16(cmap, 0);
    put16(cmap, 0);
    put16(cmap, 0xFFFF);
    put16(cmap, 0);
    put16(cmap, 0xFFFF);
    put16(cmap, 1);
    put16(cmap, 0);

    std::string loca;
    put16(loca, 0);
    put16(loca, 0);
    const std::string glyf(4, '\0');

    std::string post;
    put32(post, 0x00030000);
    put32(post, 0);
    put16(post, 0x10000 - 100);
    put16(post, 50);
    for (int i = 0; i < 5; ++i) put32(post, 0);

    std::string postscript = names.postscriptName;
    if (postscript.empty())
        for (char c : names.family)
            if (c != ' ') postscript += c;
    std::vector<NameRecord> records = {
        windowsName(kFamily, kWinEnglish, names.family),
        windowsName(kSubfamily, kWinEnglish, "Regular"),
        windowsName(kFullName, kWinEnglish, names.fullName.empty() ? names.family : names.fullName),
    };
    if (withPostScript) records.push_back(windowsName(kPostScript, kWinEnglish, postscript));
    if (!names.chineseFullName.empty())
        records.push_back(windowsName(kFullName, kWinChineseSimplified, names.chineseFullName));

    return font({{"OS/2", os2},
                 {"cmap", cmap},
                 {"glyf", glyf},
                 {"head", head},
                 {"hhea", hhea},
                 {"hmtx", hmtx},
                 {"loca", loca},
                 {"maxp", maxp},
                 {"name", nameTable(records)},
                 {"post", post}});
}

}  // namespace sfnt
