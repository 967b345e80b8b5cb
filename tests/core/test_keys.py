"""The KEY_ and MOUSE_ constants: SDL's keycodes under the engine's names, in binding order."""
import ctypes

import pytest

import quorvelin

# Every key constant in the order the import binds it: SDL's scancode names in
# alphabetical order, then the keycodes without a scancode of their own. Keys that
# produce a character carry its code; the others carry SDL's scancode with bit 30 set.
KEYS = [
    ("KEY_0", 48),
    ("KEY_1", 49),
    ("KEY_2", 50),
    ("KEY_3", 51),
    ("KEY_4", 52),
    ("KEY_5", 53),
    ("KEY_6", 54),
    ("KEY_7", 55),
    ("KEY_8", 56),
    ("KEY_9", 57),
    ("KEY_A", 97),
    ("KEY_AC_BACK", 0x4000010E),
    ("KEY_AC_BOOKMARKS", 0x40000112),
    ("KEY_AC_FORWARD", 0x4000010F),
    ("KEY_AC_HOME", 0x4000010D),
    ("KEY_AC_REFRESH", 0x40000111),
    ("KEY_AC_SEARCH", 0x4000010C),
    ("KEY_AC_STOP", 0x40000110),
    ("KEY_AGAIN", 0x40000079),
    ("KEY_ALTERASE", 0x40000099),
    ("KEY_QUOTE", 39),
    ("KEY_APPLICATION", 0x40000065),
    ("KEY_AUDIOMUTE", 0x40000106),
    ("KEY_AUDIONEXT", 0x40000102),
    ("KEY_AUDIOPLAY", 0x40000105),
    ("KEY_AUDIOPREV", 0x40000103),
    ("KEY_AUDIOSTOP", 0x40000104),
    ("KEY_B", 98),
    ("KEY_BACKSLASH", 92),
    ("KEY_BACKSPACE", 8),
    ("KEY_BRIGHTNESSDOWN", 0x40000113),
    ("KEY_BRIGHTNESSUP", 0x40000114),
    ("KEY_C", 99),
    ("KEY_CALCULATOR", 0x4000010A),
    ("KEY_CANCEL", 0x4000009B),
    ("KEY_CAPSLOCK", 0x40000039),
    ("KEY_CLEAR", 0x4000009C),
    ("KEY_CLEARAGAIN", 0x400000A2),
    ("KEY_COMMA", 44),
    ("KEY_COMPUTER", 0x4000010B),
    ("KEY_COPY", 0x4000007C),
    ("KEY_CRSEL", 0x400000A3),
    ("KEY_CURRENCYSUBUNIT", 0x400000B5),
    ("KEY_CURRENCYUNIT", 0x400000B4),
    ("KEY_CUT", 0x4000007B),
    ("KEY_D", 100),
    ("KEY_DECIMALSEPARATOR", 0x400000B3),
    ("KEY_DELETE", 127),
    ("KEY_DISPLAYSWITCH", 0x40000115),
    ("KEY_DOWN", 0x40000051),
    ("KEY_E", 101),
    ("KEY_EJECT", 0x40000119),
    ("KEY_END", 0x4000004D),
    ("KEY_EQUALS", 61),
    ("KEY_ESCAPE", 27),
    ("KEY_EXECUTE", 0x40000074),
    ("KEY_EXSEL", 0x400000A4),
    ("KEY_F", 102),
    ("KEY_F1", 0x4000003A),
    ("KEY_F10", 0x40000043),
    ("KEY_F11", 0x40000044),
    ("KEY_F12", 0x40000045),
    ("KEY_F13", 0x40000068),
    ("KEY_F14", 0x40000069),
    ("KEY_F15", 0x4000006A),
    ("KEY_F16", 0x4000006B),
    ("KEY_F17", 0x4000006C),
    ("KEY_F18", 0x4000006D),
    ("KEY_F19", 0x4000006E),
    ("KEY_F2", 0x4000003B),
    ("KEY_F20", 0x4000006F),
    ("KEY_F21", 0x40000070),
    ("KEY_F22", 0x40000071),
    ("KEY_F23", 0x40000072),
    ("KEY_F24", 0x40000073),
    ("KEY_F3", 0x4000003C),
    ("KEY_F4", 0x4000003D),
    ("KEY_F5", 0x4000003E),
    ("KEY_F6", 0x4000003F),
    ("KEY_F7", 0x40000040),
    ("KEY_F8", 0x40000041),
    ("KEY_F9", 0x40000042),
    ("KEY_FIND", 0x4000007E),
    ("KEY_G", 103),
    ("KEY_BACKQUOTE", 96),
    ("KEY_H", 104),
    ("KEY_HELP", 0x40000075),
    ("KEY_HOME", 0x4000004A),
    ("KEY_I", 105),
    ("KEY_INSERT", 0x40000049),
    ("KEY_J", 106),
    ("KEY_K", 107),
    ("KEY_KBDILLUMDOWN", 0x40000117),
    ("KEY_KBDILLUMTOGGLE", 0x40000116),
    ("KEY_KBDILLUMUP", 0x40000118),
    ("KEY_KP_0", 0x40000062),
    ("KEY_KP_00", 0x400000B0),
    ("KEY_KP_000", 0x400000B1),
    ("KEY_KP_1", 0x40000059),
    ("KEY_KP_2", 0x4000005A),
    ("KEY_KP_3", 0x4000005B),
    ("KEY_KP_4", 0x4000005C),
    ("KEY_KP_5", 0x4000005D),
    ("KEY_KP_6", 0x4000005E),
    ("KEY_KP_7", 0x4000005F),
    ("KEY_KP_8", 0x40000060),
    ("KEY_KP_9", 0x40000061),
    ("KEY_KP_A", 0x400000BC),
    ("KEY_KP_AMPERSAND", 0x400000C7),
    ("KEY_KP_AT", 0x400000CE),
    ("KEY_KP_B", 0x400000BD),
    ("KEY_KP_BACKSPACE", 0x400000BB),
    ("KEY_KP_BINARY", 0x400000DA),
    ("KEY_KP_C", 0x400000BE),
    ("KEY_KP_CLEAR", 0x400000D8),
    ("KEY_KP_CLEARENTRY", 0x400000D9),
    ("KEY_KP_COLON", 0x400000CB),
    ("KEY_KP_COMMA", 0x40000085),
    ("KEY_KP_D", 0x400000BF),
    ("KEY_KP_DBLAMPERSAND", 0x400000C8),
    ("KEY_KP_DBLVERTICALBAR", 0x400000CA),
    ("KEY_KP_DECIMAL", 0x400000DC),
    ("KEY_KP_DIVIDE", 0x40000054),
    ("KEY_KP_E", 0x400000C0),
    ("KEY_KP_ENTER", 0x40000058),
    ("KEY_KP_EQUALS", 0x40000067),
    ("KEY_KP_EQUALSAS400", 0x40000086),
    ("KEY_KP_EXCLAM", 0x400000CF),
    ("KEY_KP_F", 0x400000C1),
    ("KEY_KP_GREATER", 0x400000C6),
    ("KEY_KP_HASH", 0x400000CC),
    ("KEY_KP_HEXADECIMAL", 0x400000DD),
    ("KEY_KP_LEFTBRACE", 0x400000B8),
    ("KEY_KP_LEFTPAREN", 0x400000B6),
    ("KEY_KP_LESS", 0x400000C5),
    ("KEY_KP_MEMADD", 0x400000D3),
    ("KEY_KP_MEMCLEAR", 0x400000D2),
    ("KEY_KP_MEMDIVIDE", 0x400000D6),
    ("KEY_KP_MEMMULTIPLY", 0x400000D5),
    ("KEY_KP_MEMRECALL", 0x400000D1),
    ("KEY_KP_MEMSTORE", 0x400000D0),
    ("KEY_KP_MEMSUBTRACT", 0x400000D4),
    ("KEY_KP_MINUS", 0x40000056),
    ("KEY_KP_MULTIPLY", 0x40000055),
    ("KEY_KP_OCTAL", 0x400000DB),
    ("KEY_KP_PERCENT", 0x400000C4),
    ("KEY_KP_PERIOD", 0x40000063),
    ("KEY_KP_PLUS", 0x40000057),
    ("KEY_KP_PLUSMINUS", 0x400000D7),
    ("KEY_KP_POWER", 0x400000C3),
    ("KEY_KP_RIGHTBRACE", 0x400000B9),
    ("KEY_KP_RIGHTPAREN", 0x400000B7),
    ("KEY_KP_SPACE", 0x400000CD),
    ("KEY_KP_TAB", 0x400000BA),
    ("KEY_KP_VERTICALBAR", 0x400000C9),
    ("KEY_KP_XOR", 0x400000C2),
    ("KEY_L", 108),
    ("KEY_LALT", 0x400000E2),
    ("KEY_LCTRL", 0x400000E0),
    ("KEY_LEFT", 0x40000050),
    ("KEY_LEFTBRACKET", 91),
    ("KEY_LGUI", 0x400000E3),
    ("KEY_LSHIFT", 0x400000E1),
    ("KEY_M", 109),
    ("KEY_MAIL", 0x40000109),
    ("KEY_MEDIASELECT", 0x40000107),
    ("KEY_MENU", 0x40000076),
    ("KEY_MINUS", 45),
    ("KEY_MODE", 0x40000101),
    ("KEY_MUTE", 0x4000007F),
    ("KEY_N", 110),
    ("KEY_NUMLOCKCLEAR", 0x40000053),
    ("KEY_O", 111),
    ("KEY_OPER", 0x400000A1),
    ("KEY_OUT", 0x400000A0),
    ("KEY_P", 112),
    ("KEY_PAGEDOWN", 0x4000004E),
    ("KEY_PAGEUP", 0x4000004B),
    ("KEY_PASTE", 0x4000007D),
    ("KEY_PAUSE", 0x40000048),
    ("KEY_PERIOD", 46),
    ("KEY_POWER", 0x40000066),
    ("KEY_PRINTSCREEN", 0x40000046),
    ("KEY_PRIOR", 0x4000009D),
    ("KEY_Q", 113),
    ("KEY_R", 114),
    ("KEY_RALT", 0x400000E6),
    ("KEY_RCTRL", 0x400000E4),
    ("KEY_RETURN", 13),
    ("KEY_RETURN2", 0x4000009E),
    ("KEY_RGUI", 0x400000E7),
    ("KEY_RIGHT", 0x4000004F),
    ("KEY_RIGHTBRACKET", 93),
    ("KEY_RSHIFT", 0x400000E5),
    ("KEY_S", 115),
    ("KEY_SCROLLLOCK", 0x40000047),
    ("KEY_SELECT", 0x40000077),
    ("KEY_SEMICOLON", 59),
    ("KEY_SEPARATOR", 0x4000009F),
    ("KEY_SLASH", 47),
    ("KEY_SLEEP", 0x4000011A),
    ("KEY_SPACE", 32),
    ("KEY_STOP", 0x40000078),
    ("KEY_SYSREQ", 0x4000009A),
    ("KEY_T", 116),
    ("KEY_TAB", 9),
    ("KEY_THOUSANDSSEPARATOR", 0x400000B2),
    ("KEY_U", 117),
    ("KEY_UNDO", 0x4000007A),
    ("KEY_UNKNOWN", 0),
    ("KEY_UP", 0x40000052),
    ("KEY_V", 118),
    ("KEY_VOLUMEDOWN", 0x40000081),
    ("KEY_VOLUMEUP", 0x40000080),
    ("KEY_W", 119),
    ("KEY_WWW", 0x40000108),
    ("KEY_X", 120),
    ("KEY_Y", 121),
    ("KEY_Z", 122),
    ("KEY_AMPERSAND", 38),
    ("KEY_ASTERISK", 42),
    ("KEY_AT", 64),
    ("KEY_CARET", 94),
    ("KEY_COLON", 58),
    ("KEY_DOLLAR", 36),
    ("KEY_EXCLAIM", 33),
    ("KEY_GREATER", 62),
    ("KEY_HASH", 35),
    ("KEY_LEFTPAREN", 40),
    ("KEY_LESS", 60),
    ("KEY_PERCENT", 37),
    ("KEY_PLUS", 43),
    ("KEY_QUESTION", 63),
    ("KEY_QUOTEDBL", 34),
    ("KEY_RIGHTPAREN", 41),
    ("KEY_UNDERSCORE", 95),
]

# Keycodes that SDL 2.26 added after the engine's table was fixed; the engine binds none.
NEWER_SDL_KEYS = ["KEY_SOFTLEFT", "KEY_SOFTRIGHT", "KEY_CALL", "KEY_ENDCALL", "KEY_AUDIOREWIND",
                  "KEY_AUDIOFASTFORWARD", "KEY_APP1", "KEY_APP2"]

SCANCODE_BIT = 0x40000000


def test_key_constants_are_bound_in_table_order_with_sdl_values():
    keys = [(name, value) for name, value in vars(quorvelin).items() if name.startswith("KEY_")]
    assert keys == KEYS
    assert all(type(value) is int for _, value in keys)


def test_key_values_are_distinct_and_split_into_character_and_scancode_keys():
    values = [value for _, value in KEYS]
    assert len(set(values)) == 236
    character = [name for name, value in KEYS if value < SCANCODE_BIT]
    scancode = [name for name, value in KEYS if value & SCANCODE_BIT]
    assert (len(character), len(scancode)) == (71, 165)
    assert all(0 < value - SCANCODE_BIT < 512 for name, value in KEYS if name in scancode)


@pytest.mark.parametrize("name, value", [
    ("KEY_A", 97), ("KEY_Z", 122), ("KEY_UNKNOWN", 0), ("KEY_ESCAPE", 27), ("KEY_QUOTE", 39),
    ("KEY_BACKQUOTE", 96), ("KEY_F1", 1073741882), ("KEY_F24", 1073741939),
    ("KEY_SLEEP", 1073742106), ("KEY_KP_0", 1073741922), ("KEY_UNDERSCORE", 95),
])
def test_named_examples(name, value):
    assert getattr(quorvelin, name) == value


def test_no_lowercase_scancode_spelled_or_newer_sdl_names():
    names = list(vars(quorvelin))
    assert not [name for name in names if name.startswith("KEY_") and name != name.upper()]
    for absent in ["KEY_APOSTROPHE", "KEY_GRAVE", *NEWER_SDL_KEYS]:
        assert not hasattr(quorvelin, absent)


def test_values_are_keycodes_that_sdl_itself_names():
    sdl = ctypes.CDLL("libSDL2-2.0.so.0")
    sdl.SDL_GetKeyName.restype = ctypes.c_char_p
    sdl.SDL_GetKeyName.argtypes = [ctypes.c_int32]
    sdl.SDL_GetKeyFromName.argtypes = [ctypes.c_char_p]
    sdl.SDL_GetKeyFromName.restype = ctypes.c_int32
    for name, value in KEYS:
        sdl_name = sdl.SDL_GetKeyName(value)
        if name == "KEY_RETURN2":
            # SDL names both return keys "Return"; the name leads back to KEY_RETURN.
            assert sdl_name == b"Return"
            continue
        assert sdl.SDL_GetKeyFromName(sdl_name) == value, name


def test_mouse_buttons_follow_the_keys():
    names = list(vars(quorvelin))
    last_key = names.index("KEY_UNDERSCORE")
    assert names[last_key + 1:last_key + 4] == ["MOUSE_LEFT", "MOUSE_MIDDLE", "MOUSE_RIGHT"]
    assert (quorvelin.MOUSE_LEFT, quorvelin.MOUSE_MIDDLE, quorvelin.MOUSE_RIGHT) == (1, 2, 3)
    assert [name for name in names if name.startswith("MOUSE_")] == ["MOUSE_LEFT", "MOUSE_MIDDLE",
                                                                      "MOUSE_RIGHT"]
