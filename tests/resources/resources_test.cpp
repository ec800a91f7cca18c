// Vyr.exe's resources read back from the built program and compared, code point by code point and
// number by number, with what the program is meant to carry: the icon, both tray menus, both
// settings dialogs, the version record and the manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/memory_bitmap.h"
#include "res/resource.h"
#include "support/pixels.h"
#include "support/vyr_process.h"

namespace {

const WORD JAPANESE = 0x0411;
const WORD ENGLISH_UK = 0x0809;

struct Bytes {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

// Reads a template's words in order, as the platform lays them out.
class Reader {
public:
    explicit Reader(Bytes bytes) : at_(bytes.data), end_(bytes.data + bytes.size) {}

    bool overrun() const { return at_ > end_; }
    template <class T>
    T read()
    {
        T value = T();
        if (at_ + sizeof(T) <= end_) {
            std::memcpy(&value, at_, sizeof(T));
        }
        at_ += sizeof(T);
        return value;
    }
    std::wstring string()
    {
        std::wstring text;
        for (wchar_t c = read<wchar_t>(); c != 0 && !overrun(); c = read<wchar_t>()) {
            text += c;
        }
        return text;
    }
    // A name or an ordinal: 0xFFFF and a number, else a string. Ordinals read as "#101".
    std::wstring nameOrOrdinal()
    {
        const BYTE* start = at_;
        if (read<WORD>() == 0xFFFF) {
            return L"#" + std::to_wstring(read<WORD>());
        }
        at_ = start;
        return string();
    }
    void alignTo(size_t boundary, const BYTE* base)
    {
        while ((at_ - base) % boundary != 0) {
            at_++;
        }
    }
    const BYTE* position() const { return at_; }

private:
    const BYTE* at_;
    const BYTE* end_;
};

BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::set<WORD>*>(languages)->insert(language);
    return TRUE;
}

class VyrResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        path = builtProgramFolder() + "Vyr.exe";
        module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module != NULL) {
            FreeLibrary(module);
        }
    }
    void SetUp() override { ASSERT_NE(nullptr, module) << path; }

    static Bytes find(LPCWSTR type, int id, WORD language)
    {
        Bytes bytes;
        HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
        if (found != NULL) {
            bytes.data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
            bytes.size = SizeofResource(module, found);
        }
        return bytes;
    }

    // Every language in which the resource exists.
    static std::set<WORD> languagesOf(LPCWSTR type, int id)
    {
        std::set<WORD> languages;
        EnumResourceLanguagesW(module, type, MAKEINTRESOURCEW(id), addLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        return languages;
    }

    static std::string path;
    static HMODULE module;
};

std::string VyrResources::path;
HMODULE VyrResources::module;

// ---- The tray menus -----------------------------------------------------------------------------

struct MenuItem {
    UINT type;
    UINT id;
    std::wstring text;
    bool operator==(const MenuItem& other) const
    {
        return type == other.type && id == other.id && text == other.text;
    }
};

std::ostream& operator<<(std::ostream& out, const MenuItem& item)
{
    out << "{type " << item.type << ", id " << item.id << ", \"";
    for (wchar_t c : item.text) {
        out << (c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\x" + std::to_string(c));
    }
    return out << "\"}";
}

std::vector<MenuItem> itemsOf(HMENU menu)
{
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        wchar_t text[128] = L"";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        items.push_back({info.fType, info.wID, text});
    }
    return items;
}

TEST_F(VyrResources, TrayMenusHoldOnePopupWithTheCommandsInEachLanguage)
{
    struct Expected {
        int id;
        WORD language;
        const wchar_t* options;
        const wchar_t* exit;
    };
    const Expected menus[] = {
        {IDR_TRAY_MENU_JA, JAPANESE, L"設定(&S)", L"Vyrの終了(&X)"},
        {IDR_TRAY_MENU_EN, ENGLISH_UK, L"&Options", L"&Close"},
    };
    for (const Expected& expected : menus) {
        SCOPED_TRACE(expected.id);
        EXPECT_EQ(std::set<WORD>({expected.language}),
                  languagesOf(reinterpret_cast<LPCWSTR>(RT_MENU), expected.id));
        Bytes bytes = find(reinterpret_cast<LPCWSTR>(RT_MENU), expected.id, expected.language);
        ASSERT_NE(nullptr, bytes.data);
        HMENU menu = LoadMenuIndirectW(bytes.data);
        ASSERT_NE(nullptr, menu);
        ASSERT_EQ(1, GetMenuItemCount(menu));
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_NE(nullptr, popup);
        EXPECT_EQ(L"", itemsOf(menu)[0].text);
        std::vector<MenuItem> wanted = {{MFT_STRING, IDM_OPTIONS, expected.options},
                                        {MFT_SEPARATOR, 0, L""},
                                        {MFT_STRING, IDM_EXIT, expected.exit}};
        EXPECT_EQ(wanted, itemsOf(popup));
        DestroyMenu(menu);
    }
}

// ---- The settings dialogs -----------------------------------------------------------------------

struct DialogItem {
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring className, title;
    WORD extraCount;
};

struct DialogTemplate {
    WORD version, signature;
    DWORD helpId, exStyle, style;
    WORD itemCount;
    short x, y, cx, cy;
    std::wstring menu, className, caption;
    WORD pointSize, weight;
    BYTE italic, charset;
    std::wstring face;
    std::vector<DialogItem> items;
    bool overrun;
};

DialogTemplate parseDialog(Bytes bytes)
{
    DialogTemplate dialog = {};
    Reader in(bytes);
    dialog.version = in.read<WORD>();
    dialog.signature = in.read<WORD>();
    dialog.helpId = in.read<DWORD>();
    dialog.exStyle = in.read<DWORD>();
    dialog.style = in.read<DWORD>();
    dialog.itemCount = in.read<WORD>();
    dialog.x = in.read<short>();
    dialog.y = in.read<short>();
    dialog.cx = in.read<short>();
    dialog.cy = in.read<short>();
    dialog.menu = in.nameOrOrdinal();
    dialog.className = in.nameOrOrdinal();
    dialog.caption = in.string();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.read<WORD>();
        dialog.weight = in.read<WORD>();
        dialog.italic = in.read<BYTE>();
        dialog.charset = in.read<BYTE>();
        dialog.face = in.string();
    }
    for (WORD i = 0; i < dialog.itemCount && !in.overrun(); i++) {
        in.alignTo(4, bytes.data);
        DialogItem item;
        item.helpId = in.read<DWORD>();
        item.exStyle = in.read<DWORD>();
        item.style = in.read<DWORD>();
        item.x = in.read<short>();
        item.y = in.read<short>();
        item.cx = in.read<short>();
        item.cy = in.read<short>();
        item.id = in.read<DWORD>();
        item.className = in.nameOrOrdinal();
        item.title = in.nameOrOrdinal();
        item.extraCount = in.read<WORD>();
        for (WORD extra = 0; extra < item.extraCount; extra++) {
            in.read<BYTE>();
        }
        dialog.items.push_back(item);
    }
    dialog.overrun = in.overrun();
    return dialog;
}

// The predefined classes, as templates name them by ordinal.
const wchar_t BUTTON[] = L"#128";
const wchar_t EDIT[] = L"#129";
const wchar_t STATIC[] = L"#130";

// The predefined classes exactly, by ordinal; a registered class's name as the system matches it,
// without regard to case (windres writes such names upper-cased).
bool sameClass(const std::wstring& expected, const std::wstring& actual)
{
    if (expected[0] == L'#') {
        return expected == actual;
    }
    return CompareStringOrdinal(expected.c_str(), -1, actual.c_str(), -1, TRUE) == CSTR_EQUAL;
}

struct ExpectedControl {
    DWORD id;
    const wchar_t* className;
    const wchar_t* japanese;
    const wchar_t* english;
    DWORD style, exStyle;
    short x, y, cx, cy;
};

const wchar_t ABOUT_TEXT[] = L"Sorbane \"Vyr\"\x000AVersion : 1.4.0\x000A" L"Build : qelt";
const DWORD UNNAMED = 0xFFFFFFFF;

const ExpectedControl SETTINGS_CONTROLS[] = {
    {IDOK, BUTTON, L"OK", L"OK", 0x50010001, 0, 7, 110, 50, 14},
    {UNNAMED, STATIC, L"#101", L"#101", 0x50000003, 0, 71, 68, 20, 20},
    {UNNAMED, STATIC, ABOUT_TEXT, ABOUT_TEXT, 0x50020000, 0, 98, 67, 73, 26},
    {UNNAMED, BUTTON, L"について", L"About", 0x50000007, 0, 62, 56, 115, 45},
    {IDCANCEL, BUTTON, L"キャンセル", L"Cancel", 0x50010000, 0, 128, 110, 50, 14},
    {IDC_MOUSE_ENABLE, BUTTON, L"マウスによる選択を行う", L"Enable", 0x50010003, 0, 15, 28, 83, 10},
    {IDC_ICON_LARGE, BUTTON, L"大きいアイコン", L"Normal", 0x50000009, 0, 112, 19, 58, 10},
    {IDC_ICON_SMALL, BUTTON, L"小さいアイコン", L"Small", 0x50000009, 0, 112, 31, 58, 10},
    {UNNAMED, BUTTON, L"マウス選択", L"Mouse", 0x50000007, 0, 7, 7, 94, 45},
    {UNNAMED, BUTTON, L"アイコンサイズ", L"Icons size", 0x50000007, 0, 104, 7, 73, 45},
    {UNNAMED, BUTTON, L"幅", L"Width", 0x50000007, 0, 7, 56, 52, 45},
    {IDC_WIDTH_EDIT, EDIT, L"", L"", 0x50800880, 0x1000, 12, 75, 30, 12},
    {IDC_WIDTH_SPIN, L"msctls_updown32", L"Spin1", L"Spin1", 0x500100A2, 0, 42, 74, 12, 13},
};

TEST_F(VyrResources, SettingsDialogsCarryTheSameControlsInEachLanguage)
{
    struct Expected {
        int id;
        WORD language;
        const wchar_t* caption;
        const wchar_t* face;
        bool japanese;
    };
    const Expected dialogs[] = {
        // "ＭＳ Ｐゴシック": full-width M and S, an ordinary space, full-width P, katakana.
        {IDD_SETTINGS_JA, JAPANESE, L"設定",
         L"\xFF2D\xFF33\x0020\xFF30\x30B4\x30B7\x30C3\x30AF", true},
        {IDD_SETTINGS_EN, ENGLISH_UK, L"Options", L"Tahoma", false},
    };
    for (const Expected& expected : dialogs) {
        SCOPED_TRACE(expected.id);
        EXPECT_EQ(std::set<WORD>({expected.language}),
                  languagesOf(reinterpret_cast<LPCWSTR>(RT_DIALOG), expected.id));
        Bytes bytes = find(reinterpret_cast<LPCWSTR>(RT_DIALOG), expected.id, expected.language);
        ASSERT_NE(nullptr, bytes.data);
        DialogTemplate dialog = parseDialog(bytes);
        ASSERT_FALSE(dialog.overrun);

        EXPECT_EQ(1, dialog.version); // an extended template
        EXPECT_EQ(0xFFFF, dialog.signature);
        EXPECT_EQ(0u, dialog.helpId);
        EXPECT_EQ(0u, dialog.exStyle);
        EXPECT_EQ(0x80C000C0u, dialog.style);
        EXPECT_EQ(0, dialog.x);
        EXPECT_EQ(0, dialog.y);
        EXPECT_EQ(185, dialog.cx);
        EXPECT_EQ(131, dialog.cy);
        EXPECT_EQ(L"", dialog.menu);
        EXPECT_EQ(L"", dialog.className);
        EXPECT_EQ(expected.caption, dialog.caption);
        EXPECT_EQ(9, dialog.pointSize);
        EXPECT_EQ(0, dialog.weight);
        EXPECT_EQ(0, dialog.italic);
        EXPECT_EQ(DEFAULT_CHARSET, dialog.charset);
        EXPECT_EQ(expected.face, dialog.face);

        ASSERT_EQ(std::size(SETTINGS_CONTROLS), dialog.items.size());
        for (size_t i = 0; i < dialog.items.size(); i++) {
            const ExpectedControl& want = SETTINGS_CONTROLS[i];
            const DialogItem& item = dialog.items[i];
            SCOPED_TRACE("control " + std::to_string(i + 1));
            EXPECT_EQ(want.id, item.id);
            EXPECT_TRUE(sameClass(want.className, item.className))
                << std::string(item.className.begin(), item.className.end());
            EXPECT_EQ(expected.japanese ? want.japanese : want.english, item.title);
            EXPECT_EQ(want.style, item.style);
            EXPECT_EQ(want.exStyle, item.exStyle);
            EXPECT_EQ(want.x, item.x);
            EXPECT_EQ(want.y, item.y);
            EXPECT_EQ(want.cx, item.cx);
            EXPECT_EQ(want.cy, item.cy);
            EXPECT_EQ(0u, item.helpId);
            EXPECT_EQ(0, item.extraCount);
        }
    }
}

// ---- The version record -------------------------------------------------------------------------

TEST_F(VyrResources, VersionRecordNamesSorbaneVyr1400)
{
    EXPECT_EQ(std::set<WORD>({JAPANESE}), languagesOf(reinterpret_cast<LPCWSTR>(RT_VERSION), 1));
    std::wstring file(path.begin(), path.end());
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(file.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00010004u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000000u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010004u, fixed->dwProductVersionMS);
    EXPECT_EQ(0x00000000u, fixed->dwProductVersionLS);
    EXPECT_EQ(0x3Fu, fixed->dwFileFlagsMask);
    EXPECT_EQ(0u, fixed->dwFileFlags);
    EXPECT_EQ(0x40004u, fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
    EXPECT_EQ(0u, fixed->dwFileSubtype);

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0411, translation[0]);
    EXPECT_EQ(0x04B0, translation[1]);

    const std::map<std::wstring, std::wstring> strings = {
        {L"FileDescription", L"Sorbane Vyr"}, {L"FileVersion", L"1, 4, 0, 0"},
        {L"InternalName", L"Vyr"},            {L"OriginalFilename", L"Vyr.exe"},
        {L"ProductName", L"Vyr"},             {L"ProductVersion", L"1, 4, 0, 0"},
        {L"Comments", L""},                   {L"LegalTrademarks", L""},
        {L"PrivateBuild", L""},               {L"SpecialBuild", L""},
    };
    for (const auto& entry : strings) {
        SCOPED_TRACE(std::string(entry.first.begin(), entry.first.end()));
        std::wstring key = L"\\StringFileInfo\\041104b0\\" + entry.first;
        wchar_t* value = nullptr;
        length = 0;
        ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value),
                                   &length));
        EXPECT_EQ(entry.second, std::wstring(value != nullptr ? value : L""));
    }
}

// ---- The manifest -------------------------------------------------------------------------------

// The attributes of every assemblyIdentity element, in document order.
std::vector<std::map<std::string, std::string>> assemblyIdentities(const std::string& xml)
{
    std::vector<std::map<std::string, std::string>> identities;
    size_t at = 0;
    while ((at = xml.find("<assemblyIdentity", at)) != std::string::npos) {
        size_t end = xml.find("/>", at);
        std::string element = xml.substr(at, end - at);
        std::map<std::string, std::string> attributes;
        size_t equals = 0;
        while ((equals = element.find("=\"", equals)) != std::string::npos) {
            size_t nameStart = element.find_last_of(" \t\r\n", equals) + 1;
            size_t valueEnd = element.find('"', equals + 2);
            attributes[element.substr(nameStart, equals - nameStart)] =
                element.substr(equals + 2, valueEnd - equals - 2);
            equals = valueEnd;
        }
        identities.push_back(attributes);
        at = end;
    }
    return identities;
}

TEST_F(VyrResources, ManifestAsksForCommonControls6)
{
    EXPECT_EQ(std::set<WORD>({JAPANESE}),
              languagesOf(reinterpret_cast<LPCWSTR>(RT_MANIFEST), 1));
    Bytes bytes = find(reinterpret_cast<LPCWSTR>(RT_MANIFEST), 1, JAPANESE);
    ASSERT_NE(nullptr, bytes.data);
    std::string xml(reinterpret_cast<const char*>(bytes.data), bytes.size);

    using Attributes = std::map<std::string, std::string>;
    // The x64 test build names its own architecture; the Vyr.exe that ships is X86.
    const std::string architecture = sizeof(void*) == 8 ? "amd64" : "X86";
    std::vector<Attributes> expected = {
        {{"name", "CompanyName.ProductName.YourApp"}, {"version", "1.0.0.0"},
         {"processorArchitecture", architecture}, {"type", "win32"}},
        {{"type", "win32"}, {"name", "Microsoft.Windows.Common-Controls"}, {"version", "6.0.0.0"},
         {"processorArchitecture", architecture}, {"publicKeyToken", "6595b64144ccf1df"},
         {"language", "*"}},
    };
    EXPECT_EQ(expected, assemblyIdentities(xml));
    EXPECT_NE(std::string::npos, xml.find("<dependentAssembly>"));

    // The system takes it: an activation context made from it resolves the dependency.
    std::wstring file(path.begin(), path.end());
    ACTCTXW context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = file.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE activation = CreateActCtxW(&context);
    EXPECT_NE(INVALID_HANDLE_VALUE, activation) << GetLastError();
    if (activation != INVALID_HANDLE_VALUE) {
        ReleaseActCtx(activation);
    }
}

// ---- The icon -----------------------------------------------------------------------------------

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

// The colours of the icon as the system draws it (a PNG image decoded), over black.
std::set<COLORREF> drawnColours(HICON icon, int size)
{
    HDC screen = GetDC(NULL);
    MemoryBitmap drawn;
    makeMemoryBitmap(screen, size, size, &drawn);
    DrawIconEx(drawn.dc, 0, 0, icon, size, size, 0, NULL, DI_NORMAL);
    std::vector<COLORREF> pixels;
    readPixels(drawn.dc, 0, 0, size, size, &pixels);
    releaseMemoryBitmap(&drawn);
    ReleaseDC(NULL, screen);
    return std::set<COLORREF>(pixels.begin(), pixels.end());
}

// 16, 20 and 24 pixels are the notification area's icon at 100, 125 and 150 %. From 48 pixels on
// an image is a PNG (8-bit RGBA, so 32 bits in the group), as Windows reads large icon images.
TEST_F(VyrResources, IconGroupHolds32And16And48And20And24PixelImagesOf24BitsAndAPngAt48)
{
    EXPECT_EQ(std::set<WORD>({JAPANESE}),
              languagesOf(reinterpret_cast<LPCWSTR>(RT_GROUP_ICON), IDI_APP));
    Bytes group = find(reinterpret_cast<LPCWSTR>(RT_GROUP_ICON), IDI_APP, JAPANESE);
    ASSERT_NE(nullptr, group.data);
    Reader in(group);
    EXPECT_EQ(0, in.read<WORD>());
    EXPECT_EQ(1, in.read<WORD>()); // icons, not cursors
    WORD count = in.read<WORD>();
    ASSERT_EQ(5, count);

    const int sizes[] = {32, 16, 48, 20, 24};
    for (int i = 0; i < count; i++) {
        GroupIconEntry entry = in.read<GroupIconEntry>();
        ASSERT_FALSE(in.overrun());
        int size = sizes[i];
        SCOPED_TRACE(size);
        EXPECT_EQ(size, entry.width);
        EXPECT_EQ(size, entry.height);
        bool isPng = size >= 48;
        EXPECT_EQ(0, entry.colorCount);
        EXPECT_EQ(1, entry.planes);
        EXPECT_EQ(isPng ? 32 : 24, entry.bitCount);

        Bytes image = find(reinterpret_cast<LPCWSTR>(RT_ICON), entry.id, JAPANESE);
        ASSERT_NE(nullptr, image.data);
        // Copied out first: the packed field may lie off its alignment, where a reference to it is
        // undefined.
        DWORD bytesInRes = entry.bytesInRes;
        EXPECT_EQ(bytesInRes, image.size);
        HICON icon = CreateIconFromResourceEx(const_cast<BYTE*>(image.data), image.size, TRUE,
                                              0x00030000, size, size, 0);
        ASSERT_NE(nullptr, icon);
        std::set<COLORREF> drawn = drawnColours(icon, size);
        DestroyIcon(icon);
        if (isPng) {
            // The signature, then IHDR (13 bytes): 48 x 48, 8 bits per channel, RGBA. A picture, not a
            // blank: its visible pixels have several colours.
            const BYTE START[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                  0,    0,   0,   48,  0,    0,    0,    48,   8, 6};
            ASSERT_GE(image.size, sizeof START);
            EXPECT_EQ(0, std::memcmp(image.data, START, sizeof START));
            EXPECT_GE(drawn.size(), 5u);
            continue;
        }
        BITMAPINFOHEADER header;
        ASSERT_GE(image.size, sizeof header);
        std::memcpy(&header, image.data, sizeof header);
        EXPECT_EQ(size, header.biWidth);
        EXPECT_EQ(2 * size, header.biHeight); // colour and mask
        EXPECT_EQ(24, header.biBitCount);
        EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);
        DWORD colourBytes = (size * 3 + 3) / 4 * 4 * size;
        DWORD maskBytes = (size + 31) / 32 * 4 * size;
        EXPECT_EQ(sizeof header + colourBytes + maskBytes, image.size);

        // A picture, not a blank: its visible pixels have several colours.
        const BYTE* colour = image.data + sizeof header;
        std::set<DWORD> colours;
        for (DWORD at = 0; at + 3 <= colourBytes; at += 3) {
            colours.insert(colour[at] | colour[at + 1] << 8 | colour[at + 2] << 16);
        }
        EXPECT_GE(colours.size(), 5u);
    }
}

} // namespace
