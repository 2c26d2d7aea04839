// The General sort order codes of every Windows-1252 character, as the Jet engine writes them
// in Jet 4 text index keys. Read off the index pages of Access-compatible files holding each
// character alone, after a letter, before a letter and inside a word: upper and lower case
// share their codes, accented letters are the base letter plus an accent byte, and a few
// characters (control characters, apostrophe, hyphen, soft hyphen, en and em dash) sort only
// by a positional code after the text.
#include "jet/sort_order_table.h"

#include <algorithm>
#include <iterator>

namespace jet::sortorder {

namespace {

using K = CodeKind;

// U+0000 to U+00FF. U+0080 to U+009F are not Windows-1252 characters.
const CharCode kLatin1[256] = {
    {K::None, 0, {0, 0}, 0},                 // U+0000
    {K::Unprintable, 0, {0x00, 0x00}, 0x03}, // U+0001
    {K::Unprintable, 0, {0x00, 0x00}, 0x04}, // U+0002
    {K::Unprintable, 0, {0x00, 0x00}, 0x05}, // U+0003
    {K::Unprintable, 0, {0x00, 0x00}, 0x06}, // U+0004
    {K::Unprintable, 0, {0x00, 0x00}, 0x07}, // U+0005
    {K::Unprintable, 0, {0x00, 0x00}, 0x08}, // U+0006
    {K::Unprintable, 0, {0x00, 0x00}, 0x09}, // U+0007
    {K::Unprintable, 0, {0x00, 0x00}, 0x0a}, // U+0008
    {K::Simple, 2, {0x08, 0x03}, 0x00},      // U+0009
    {K::Simple, 2, {0x08, 0x04}, 0x00},      // U+000A
    {K::Simple, 2, {0x08, 0x05}, 0x00},      // U+000B
    {K::Simple, 2, {0x08, 0x06}, 0x00},      // U+000C
    {K::Simple, 2, {0x08, 0x07}, 0x00},      // U+000D
    {K::Unprintable, 0, {0x00, 0x00}, 0x0b}, // U+000E
    {K::Unprintable, 0, {0x00, 0x00}, 0x0c}, // U+000F
    {K::Unprintable, 0, {0x00, 0x00}, 0x0d}, // U+0010
    {K::Unprintable, 0, {0x00, 0x00}, 0x0e}, // U+0011
    {K::Unprintable, 0, {0x00, 0x00}, 0x0f}, // U+0012
    {K::Unprintable, 0, {0x00, 0x00}, 0x10}, // U+0013
    {K::Unprintable, 0, {0x00, 0x00}, 0x11}, // U+0014
    {K::Unprintable, 0, {0x00, 0x00}, 0x12}, // U+0015
    {K::Unprintable, 0, {0x00, 0x00}, 0x13}, // U+0016
    {K::Unprintable, 0, {0x00, 0x00}, 0x14}, // U+0017
    {K::Unprintable, 0, {0x00, 0x00}, 0x15}, // U+0018
    {K::Unprintable, 0, {0x00, 0x00}, 0x16}, // U+0019
    {K::Unprintable, 0, {0x00, 0x00}, 0x17}, // U+001A
    {K::Unprintable, 0, {0x00, 0x00}, 0x18}, // U+001B
    {K::Unprintable, 0, {0x00, 0x00}, 0x19}, // U+001C
    {K::Unprintable, 0, {0x00, 0x00}, 0x1a}, // U+001D
    {K::Unprintable, 0, {0x00, 0x00}, 0x1b}, // U+001E
    {K::Unprintable, 0, {0x00, 0x00}, 0x1c}, // U+001F
    {K::Simple, 1, {0x07, 0x00}, 0x00},      //
    {K::Simple, 1, {0x09, 0x00}, 0x00},      // !
    {K::Simple, 1, {0x0a, 0x00}, 0x00},      // "
    {K::Simple, 1, {0x0c, 0x00}, 0x00},      // #
    {K::Simple, 1, {0x0e, 0x00}, 0x00},      // $
    {K::Simple, 1, {0x10, 0x00}, 0x00},      // %
    {K::Simple, 1, {0x12, 0x00}, 0x00},      // &
    {K::Unprintable, 0, {0x00, 0x00}, 0x80}, // '
    {K::Simple, 1, {0x14, 0x00}, 0x00},      // (
    {K::Simple, 1, {0x16, 0x00}, 0x00},      // )
    {K::Simple, 1, {0x18, 0x00}, 0x00},      // *
    {K::Simple, 1, {0x2c, 0x00}, 0x00},      // +
    {K::Simple, 1, {0x1a, 0x00}, 0x00},      // ,
    {K::Unprintable, 0, {0x00, 0x00}, 0x82}, // -
    {K::Simple, 1, {0x1c, 0x00}, 0x00},      // .
    {K::Simple, 1, {0x1e, 0x00}, 0x00},      // /
    {K::Simple, 1, {0x36, 0x00}, 0x00},      // 0
    {K::Simple, 1, {0x38, 0x00}, 0x00},      // 1
    {K::Simple, 1, {0x3a, 0x00}, 0x00},      // 2
    {K::Simple, 1, {0x3c, 0x00}, 0x00},      // 3
    {K::Simple, 1, {0x3e, 0x00}, 0x00},      // 4
    {K::Simple, 1, {0x40, 0x00}, 0x00},      // 5
    {K::Simple, 1, {0x42, 0x00}, 0x00},      // 6
    {K::Simple, 1, {0x44, 0x00}, 0x00},      // 7
    {K::Simple, 1, {0x46, 0x00}, 0x00},      // 8
    {K::Simple, 1, {0x48, 0x00}, 0x00},      // 9
    {K::Simple, 1, {0x20, 0x00}, 0x00},      // :
    {K::Simple, 1, {0x22, 0x00}, 0x00},      // ;
    {K::Simple, 1, {0x2e, 0x00}, 0x00},      // <
    {K::Simple, 1, {0x30, 0x00}, 0x00},      // =
    {K::Simple, 1, {0x32, 0x00}, 0x00},      // >
    {K::Simple, 1, {0x24, 0x00}, 0x00},      // ?
    {K::Simple, 1, {0x26, 0x00}, 0x00},      // @
    {K::Simple, 1, {0x4a, 0x00}, 0x00},      // A
    {K::Simple, 1, {0x4c, 0x00}, 0x00},      // B
    {K::Simple, 1, {0x4d, 0x00}, 0x00},      // C
    {K::Simple, 1, {0x4f, 0x00}, 0x00},      // D
    {K::Simple, 1, {0x51, 0x00}, 0x00},      // E
    {K::Simple, 1, {0x53, 0x00}, 0x00},      // F
    {K::Simple, 1, {0x55, 0x00}, 0x00},      // G
    {K::Simple, 1, {0x57, 0x00}, 0x00},      // H
    {K::Simple, 1, {0x59, 0x00}, 0x00},      // I
    {K::Simple, 1, {0x5b, 0x00}, 0x00},      // J
    {K::Simple, 1, {0x5c, 0x00}, 0x00},      // K
    {K::Simple, 1, {0x5e, 0x00}, 0x00},      // L
    {K::Simple, 1, {0x60, 0x00}, 0x00},      // M
    {K::Simple, 1, {0x62, 0x00}, 0x00},      // N
    {K::Simple, 1, {0x64, 0x00}, 0x00},      // O
    {K::Simple, 1, {0x66, 0x00}, 0x00},      // P
    {K::Simple, 1, {0x68, 0x00}, 0x00},      // Q
    {K::Simple, 1, {0x69, 0x00}, 0x00},      // R
    {K::Simple, 1, {0x6b, 0x00}, 0x00},      // S
    {K::Simple, 1, {0x6d, 0x00}, 0x00},      // T
    {K::Simple, 1, {0x6f, 0x00}, 0x00},      // U
    {K::Simple, 1, {0x71, 0x00}, 0x00},      // V
    {K::Simple, 1, {0x73, 0x00}, 0x00},      // W
    {K::Simple, 1, {0x75, 0x00}, 0x00},      // X
    {K::Simple, 1, {0x76, 0x00}, 0x00},      // Y
    {K::Simple, 1, {0x78, 0x00}, 0x00},      // Z
    {K::Simple, 1, {0x27, 0x00}, 0x00},      // [
    {K::Simple, 1, {0x29, 0x00}, 0x00},      // backslash
    {K::Simple, 1, {0x2a, 0x00}, 0x00},      // ]
    {K::Simple, 2, {0x2b, 0x02}, 0x00},      // ^
    {K::Simple, 2, {0x2b, 0x03}, 0x00},      // _
    {K::Simple, 2, {0x2b, 0x07}, 0x00},      // `
    {K::Simple, 1, {0x4a, 0x00}, 0x00},      // a
    {K::Simple, 1, {0x4c, 0x00}, 0x00},      // b
    {K::Simple, 1, {0x4d, 0x00}, 0x00},      // c
    {K::Simple, 1, {0x4f, 0x00}, 0x00},      // d
    {K::Simple, 1, {0x51, 0x00}, 0x00},      // e
    {K::Simple, 1, {0x53, 0x00}, 0x00},      // f
    {K::Simple, 1, {0x55, 0x00}, 0x00},      // g
    {K::Simple, 1, {0x57, 0x00}, 0x00},      // h
    {K::Simple, 1, {0x59, 0x00}, 0x00},      // i
    {K::Simple, 1, {0x5b, 0x00}, 0x00},      // j
    {K::Simple, 1, {0x5c, 0x00}, 0x00},      // k
    {K::Simple, 1, {0x5e, 0x00}, 0x00},      // l
    {K::Simple, 1, {0x60, 0x00}, 0x00},      // m
    {K::Simple, 1, {0x62, 0x00}, 0x00},      // n
    {K::Simple, 1, {0x64, 0x00}, 0x00},      // o
    {K::Simple, 1, {0x66, 0x00}, 0x00},      // p
    {K::Simple, 1, {0x68, 0x00}, 0x00},      // q
    {K::Simple, 1, {0x69, 0x00}, 0x00},      // r
    {K::Simple, 1, {0x6b, 0x00}, 0x00},      // s
    {K::Simple, 1, {0x6d, 0x00}, 0x00},      // t
    {K::Simple, 1, {0x6f, 0x00}, 0x00},      // u
    {K::Simple, 1, {0x71, 0x00}, 0x00},      // v
    {K::Simple, 1, {0x73, 0x00}, 0x00},      // w
    {K::Simple, 1, {0x75, 0x00}, 0x00},      // x
    {K::Simple, 1, {0x76, 0x00}, 0x00},      // y
    {K::Simple, 1, {0x78, 0x00}, 0x00},      // z
    {K::Simple, 2, {0x2b, 0x09}, 0x00},      // {
    {K::Simple, 2, {0x2b, 0x0b}, 0x00},      // |
    {K::Simple, 2, {0x2b, 0x0d}, 0x00},      // }
    {K::Simple, 2, {0x2b, 0x0f}, 0x00},      // ~
    {K::Unprintable, 0, {0x00, 0x00}, 0x1d}, // U+007F
    {K::None, 0, {0, 0}, 0},                 // U+0080
    {K::None, 0, {0, 0}, 0},                 // U+0081
    {K::None, 0, {0, 0}, 0},                 // U+0082
    {K::None, 0, {0, 0}, 0},                 // U+0083
    {K::None, 0, {0, 0}, 0},                 // U+0084
    {K::None, 0, {0, 0}, 0},                 // U+0085
    {K::None, 0, {0, 0}, 0},                 // U+0086
    {K::None, 0, {0, 0}, 0},                 // U+0087
    {K::None, 0, {0, 0}, 0},                 // U+0088
    {K::None, 0, {0, 0}, 0},                 // U+0089
    {K::None, 0, {0, 0}, 0},                 // U+008A
    {K::None, 0, {0, 0}, 0},                 // U+008B
    {K::None, 0, {0, 0}, 0},                 // U+008C
    {K::None, 0, {0, 0}, 0},                 // U+008D
    {K::None, 0, {0, 0}, 0},                 // U+008E
    {K::None, 0, {0, 0}, 0},                 // U+008F
    {K::None, 0, {0, 0}, 0},                 // U+0090
    {K::None, 0, {0, 0}, 0},                 // U+0091
    {K::None, 0, {0, 0}, 0},                 // U+0092
    {K::None, 0, {0, 0}, 0},                 // U+0093
    {K::None, 0, {0, 0}, 0},                 // U+0094
    {K::None, 0, {0, 0}, 0},                 // U+0095
    {K::None, 0, {0, 0}, 0},                 // U+0096
    {K::None, 0, {0, 0}, 0},                 // U+0097
    {K::None, 0, {0, 0}, 0},                 // U+0098
    {K::None, 0, {0, 0}, 0},                 // U+0099
    {K::None, 0, {0, 0}, 0},                 // U+009A
    {K::None, 0, {0, 0}, 0},                 // U+009B
    {K::None, 0, {0, 0}, 0},                 // U+009C
    {K::None, 0, {0, 0}, 0},                 // U+009D
    {K::None, 0, {0, 0}, 0},                 // U+009E
    {K::None, 0, {0, 0}, 0},                 // U+009F
    {K::Simple, 2, {0x08, 0x02}, 0x00},      // U+00A0
    {K::Simple, 2, {0x2b, 0x10}, 0x00},      // ¡
    {K::Simple, 2, {0x34, 0xa6}, 0x00},      // ¢
    {K::Simple, 2, {0x34, 0xa7}, 0x00},      // £
    {K::Simple, 2, {0x34, 0xa8}, 0x00},      // ¤
    {K::Simple, 2, {0x34, 0xa9}, 0x00},      // ¥
    {K::Simple, 2, {0x2b, 0x11}, 0x00},      // ¦
    {K::Simple, 2, {0x34, 0xaa}, 0x00},      // §
    {K::Simple, 2, {0x2b, 0x12}, 0x00},      // ¨
    {K::Simple, 2, {0x34, 0xab}, 0x00},      // ©
    {K::Accented, 1, {0x4a, 0x00}, 0x03},    // ª
    {K::Simple, 2, {0x33, 0x05}, 0x00},      // «
    {K::Simple, 2, {0x34, 0xac}, 0x00},      // ¬
    {K::Unprintable, 0, {0x00, 0x00}, 0x83}, // U+00AD
    {K::Simple, 2, {0x34, 0xad}, 0x00},      // ®
    {K::Simple, 2, {0x2b, 0x13}, 0x00},      // ¯
    {K::Simple, 2, {0x34, 0xae}, 0x00},      // °
    {K::Simple, 2, {0x33, 0x04}, 0x00},      // ±
    {K::Simple, 1, {0x3a, 0x00}, 0x00},      // ²
    {K::Simple, 1, {0x3c, 0x00}, 0x00},      // ³
    {K::Simple, 2, {0x2b, 0x14}, 0x00},      // ´
    {K::Simple, 2, {0x34, 0xaf}, 0x00},      // µ
    {K::Simple, 2, {0x34, 0xb0}, 0x00},      // ¶
    {K::Simple, 2, {0x34, 0xb1}, 0x00},      // ·
    {K::Simple, 2, {0x2b, 0x15}, 0x00},      // ¸
    {K::Simple, 1, {0x38, 0x00}, 0x00},      // ¹
    {K::Accented, 1, {0x64, 0x00}, 0x03},    // º
    {K::Simple, 2, {0x33, 0x07}, 0x00},      // »
    {K::Simple, 2, {0x37, 0x12}, 0x00},      // ¼
    {K::Simple, 2, {0x37, 0x16}, 0x00},      // ½
    {K::Simple, 2, {0x37, 0x1a}, 0x00},      // ¾
    {K::Simple, 2, {0x2b, 0x16}, 0x00},      // ¿
    {K::Accented, 1, {0x4a, 0x00}, 0x0f},    // À
    {K::Accented, 1, {0x4a, 0x00}, 0x0e},    // Á
    {K::Accented, 1, {0x4a, 0x00}, 0x12},    // Â
    {K::Accented, 1, {0x4a, 0x00}, 0x19},    // Ã
    {K::Accented, 1, {0x4a, 0x00}, 0x13},    // Ä
    {K::Accented, 1, {0x4a, 0x00}, 0x1a},    // Å
    {K::Simple, 2, {0x4a, 0x51}, 0x00},      // Æ
    {K::Accented, 1, {0x4d, 0x00}, 0x1c},    // Ç
    {K::Accented, 1, {0x51, 0x00}, 0x0f},    // È
    {K::Accented, 1, {0x51, 0x00}, 0x0e},    // É
    {K::Accented, 1, {0x51, 0x00}, 0x12},    // Ê
    {K::Accented, 1, {0x51, 0x00}, 0x13},    // Ë
    {K::Accented, 1, {0x59, 0x00}, 0x0f},    // Ì
    {K::Accented, 1, {0x59, 0x00}, 0x0e},    // Í
    {K::Accented, 1, {0x59, 0x00}, 0x12},    // Î
    {K::Accented, 1, {0x59, 0x00}, 0x13},    // Ï
    {K::Accented, 1, {0x4f, 0x00}, 0x68},    // Ð
    {K::Accented, 1, {0x62, 0x00}, 0x19},    // Ñ
    {K::Accented, 1, {0x64, 0x00}, 0x0f},    // Ò
    {K::Accented, 1, {0x64, 0x00}, 0x0e},    // Ó
    {K::Accented, 1, {0x64, 0x00}, 0x12},    // Ô
    {K::Accented, 1, {0x64, 0x00}, 0x19},    // Õ
    {K::Accented, 1, {0x64, 0x00}, 0x13},    // Ö
    {K::Simple, 2, {0x33, 0x09}, 0x00},      // ×
    {K::Accented, 1, {0x64, 0x00}, 0x21},    // Ø
    {K::Accented, 1, {0x6f, 0x00}, 0x0f},    // Ù
    {K::Accented, 1, {0x6f, 0x00}, 0x0e},    // Ú
    {K::Accented, 1, {0x6f, 0x00}, 0x12},    // Û
    {K::Accented, 1, {0x6f, 0x00}, 0x13},    // Ü
    {K::Accented, 1, {0x76, 0x00}, 0x0e},    // Ý
    {K::Simple, 2, {0x6d, 0x57}, 0x00},      // Þ
    {K::Simple, 2, {0x6b, 0x6b}, 0x00},      // ß
    {K::Accented, 1, {0x4a, 0x00}, 0x0f},    // à
    {K::Accented, 1, {0x4a, 0x00}, 0x0e},    // á
    {K::Accented, 1, {0x4a, 0x00}, 0x12},    // â
    {K::Accented, 1, {0x4a, 0x00}, 0x19},    // ã
    {K::Accented, 1, {0x4a, 0x00}, 0x13},    // ä
    {K::Accented, 1, {0x4a, 0x00}, 0x1a},    // å
    {K::Simple, 2, {0x4a, 0x51}, 0x00},      // æ
    {K::Accented, 1, {0x4d, 0x00}, 0x1c},    // ç
    {K::Accented, 1, {0x51, 0x00}, 0x0f},    // è
    {K::Accented, 1, {0x51, 0x00}, 0x0e},    // é
    {K::Accented, 1, {0x51, 0x00}, 0x12},    // ê
    {K::Accented, 1, {0x51, 0x00}, 0x13},    // ë
    {K::Accented, 1, {0x59, 0x00}, 0x0f},    // ì
    {K::Accented, 1, {0x59, 0x00}, 0x0e},    // í
    {K::Accented, 1, {0x59, 0x00}, 0x12},    // î
    {K::Accented, 1, {0x59, 0x00}, 0x13},    // ï
    {K::Accented, 1, {0x4f, 0x00}, 0x68},    // ð
    {K::Accented, 1, {0x62, 0x00}, 0x19},    // ñ
    {K::Accented, 1, {0x64, 0x00}, 0x0f},    // ò
    {K::Accented, 1, {0x64, 0x00}, 0x0e},    // ó
    {K::Accented, 1, {0x64, 0x00}, 0x12},    // ô
    {K::Accented, 1, {0x64, 0x00}, 0x19},    // õ
    {K::Accented, 1, {0x64, 0x00}, 0x13},    // ö
    {K::Simple, 2, {0x33, 0x0a}, 0x00},      // ÷
    {K::Accented, 1, {0x64, 0x00}, 0x21},    // ø
    {K::Accented, 1, {0x6f, 0x00}, 0x0f},    // ù
    {K::Accented, 1, {0x6f, 0x00}, 0x0e},    // ú
    {K::Accented, 1, {0x6f, 0x00}, 0x12},    // û
    {K::Accented, 1, {0x6f, 0x00}, 0x13},    // ü
    {K::Accented, 1, {0x76, 0x00}, 0x0e},    // ý
    {K::Simple, 2, {0x6d, 0x57}, 0x00},      // þ
    {K::Accented, 1, {0x76, 0x00}, 0x13},    // ÿ
};

struct ExtraChar {
  char32_t codePoint;
  CharCode code;
};

// The Windows-1252 characters outside Latin-1, by code point.
const ExtraChar kWindows1252Extra[] = {
    {0x0152, {K::Simple, 2, {0x64, 0x51}, 0x00}},      // Œ
    {0x0153, {K::Simple, 2, {0x64, 0x51}, 0x00}},      // œ
    {0x0160, {K::Accented, 1, {0x6b, 0x00}, 0x14}},    // Š
    {0x0161, {K::Accented, 1, {0x6b, 0x00}, 0x14}},    // š
    {0x0178, {K::Accented, 1, {0x76, 0x00}, 0x13}},    // Ÿ
    {0x017d, {K::Accented, 1, {0x78, 0x00}, 0x14}},    // Ž
    {0x017e, {K::Accented, 1, {0x78, 0x00}, 0x14}},    // ž
    {0x0192, {K::Accented, 1, {0x53, 0x00}, 0x7b}},    // ƒ
    {0x02c6, {K::Accented, 2, {0x2b, 0x02}, 0x03}},    // ˆ
    {0x02dc, {K::Simple, 2, {0x2b, 0x1c}, 0x00}},      // ˜
    {0x2013, {K::Unprintable, 0, {0x00, 0x00}, 0x89}}, // –
    {0x2014, {K::Unprintable, 0, {0x00, 0x00}, 0x8b}}, // —
    {0x2018, {K::Simple, 2, {0x2b, 0x37}, 0x00}},      // ‘
    {0x2019, {K::Simple, 2, {0x2b, 0x38}, 0x00}},      // ’
    {0x201a, {K::Simple, 2, {0x2b, 0x39}, 0x00}},      // ‚
    {0x201c, {K::Simple, 2, {0x2b, 0x3b}, 0x00}},      // “
    {0x201d, {K::Simple, 2, {0x2b, 0x3c}, 0x00}},      // ”
    {0x201e, {K::Simple, 2, {0x2b, 0x3d}, 0x00}},      // „
    {0x2020, {K::Simple, 2, {0x34, 0xb3}, 0x00}},      // †
    {0x2021, {K::Simple, 2, {0x34, 0xb4}, 0x00}},      // ‡
    {0x2022, {K::Simple, 2, {0x34, 0xb5}, 0x00}},      // •
    {0x2026, {K::Simple, 2, {0x34, 0xb9}, 0x00}},      // …
    {0x2030, {K::Simple, 2, {0x34, 0xba}, 0x00}},      // ‰
    {0x2039, {K::Simple, 2, {0x2b, 0x46}, 0x00}},      // ‹
    {0x203a, {K::Simple, 2, {0x2b, 0x47}, 0x00}},      // ›
    {0x20ac, {K::Simple, 2, {0x35, 0xa1}, 0x00}},      // €
    {0x2122, {K::Simple, 2, {0x6e, 0x04}, 0x00}},      // ™
};

const CharCode kNoCode = {K::None, 0, {0, 0}, 0};

} // namespace

const CharCode &charCode(char32_t c) {
  if (c < 256)
    return kLatin1[c];
  auto it = std::lower_bound(std::begin(kWindows1252Extra), std::end(kWindows1252Extra), c,
                             [](const ExtraChar &e, char32_t v) { return e.codePoint < v; });
  if (it != std::end(kWindows1252Extra) && it->codePoint == c)
    return it->code;
  return kNoCode;
}

} // namespace jet::sortorder
