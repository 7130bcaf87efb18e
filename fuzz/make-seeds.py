#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/: a few well-formed inputs per target, plus the awkward
forms the bad-input catalogue names, so that each fuzzer starts from the shapes its code expects.

Run it again after changing the wire format or a target's input layout: fuzz/make-seeds.py
"""

import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Wire format: see protocol/Frame.h and protocol/MessageType.h.
HELLO, HELLO_REPLY, REPLY, EVENT, CLOSE, PING = 1, 2, 3, 4, 5, 6
LOGIN, ENTER, EXIT, STATE_CHANGE, SAY, WHISPER, CONSOLE, WORLD_LIST = 16, 17, 18, 19, 20, 21, 22, 23
CITIZEN_NUMBER, CITIZEN_NAME, CLICK, URL, ADDRESS, TELEPORT, EJECT = 24, 25, 26, 27, 28, 29, 30
WORLD_CHANGE, UNIVERSE_CHANGE = 31, 32
WORLD_EJ_ADD, WORLD_EJ_DEL, WORLD_EJ_LOOKUP, WORLD_EJ_NEXT = 33, 34, 35, 36
UNI_EJ_ADD, UNI_EJ_LOOKUP = 38, 40
OBJECT_ADD, OBJECT_LOAD = 43, 44

F_SESSION, F_TEXT, F_WORLD, F_NUMBER, F_NAME, F_URL, F_TARGET, F_MY_SESSION = 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1012


def i(number, value):
    return struct.pack('<HBi', number, 1, value)


def b(number, value):
    return struct.pack('<HBB', number, 2, 1 if value else 0)


def s(number, text):
    data = text.encode('utf-8') if isinstance(text, str) else text
    return struct.pack('<HBH', number, 3, len(data)) + data


def frame(kind, ident, code, *attributes):
    body = struct.pack('<HIiH', kind, ident, code, len(attributes)) + b''.join(attributes)
    return struct.pack('<I', len(body)) + body


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data if isinstance(data, bytes) else data.encode('utf-8'))


def frames():
    write('frame', 'hello', frame(HELLO, 1, 1, i(F_NUMBER, 63)))
    write('frame', 'chat-event', frame(EVENT, 0, 6, i(222, 7), s(207, 'Alice'), s(223, 'hello \u00e9\U0001f600'), i(251, 0)))
    write('frame', 'every-tag-and-duplicates',
          frame(REPLY, 9, 0, i(198, -5), b(57, True), s(44, 'Town'), i(198, 12), b(57, False), s(44, ''), i(60000, 1)))
    write('frame', 'two-frames', frame(PING, 0, 0) + frame(CLOSE, 0, 471))
    write('frame', 'partial', frame(EVENT, 0, 0, s(207, 'Bob'))[:-3])
    write('frame', 'length-all-ones', b'\xff\xff\xff\xff' + b'\0' * 16)
    write('frame', 'invalid-utf8', frame(EVENT, 0, 6, s(223, b'\xc3\x28')))
    write('frame', 'largest', frame(EVENT, 0, 6, *[s(223, 'x' * 4091)] * 16))


def sdk_stream():
    seed = b'\x05\x00'
    avatar = frame(EVENT, 0, 0, i(206, 7), s(207, 'Alice'), i(208, 100), i(209, 0), i(210, -100), i(211, 900),
                   i(213, 3), i(217, 361), i(218, 5), i(219, 5))
    chat = frame(EVENT, 0, 6, i(222, 7), s(207, 'Alice'), s(223, 'hi there'), i(251, 0))
    leave = frame(EVENT, 0, 2, i(206, 7), s(207, 'Alice'))
    unknown = frame(EVENT, 0, 2, i(206, 999), s(207, 'Nobody'))
    world = frame(EVENT, 0, 11, s(44, 'Town'), s(45, 'Title'), i(63, 63), b(57, True), b(77, True))
    worlds = frame(EVENT, 0, 12, s(266, 'Town'), i(267, 1), i(268, 3)) + frame(EVENT, 0, 12, s(266, 'Old'), i(267, 1))
    entered = frame(REPLY, 3, 0, s(44, 'Town'), i(63, 63), b(328, False))
    listed = frame(REPLY, 4, 0, b(270, False))
    citizen = frame(REPLY, 5, 0, i(29, 7), s(30, 'Seven'), s(43, 'http://example.invalid/'))
    address = frame(REPLY, 6, 0, i(206, 5), i(216, 0x0100007f))
    ejection = frame(REPLY, 7, 66) + frame(REPLY, 8, 0) + frame(REPLY, 9, 0, i(248, 12))
    write('sdk_stream', 'arrive-chat-leave', seed + world + avatar + chat + leave + unknown)
    write('sdk_stream', 'answers', seed + entered + worlds + listed + citizen + address + ejection)
    write('sdk_stream', 'duplicate-answer', seed + entered + entered + frame(REPLY, 0, 0) + frame(REPLY, 77, 0))
    write('sdk_stream', 'ejected', seed + avatar + frame(EVENT, 0, 13, i(278, 466)) + chat)
    write('sdk_stream', 'closed', seed + avatar + frame(CLOSE, 0, 471) + chat)
    write('sdk_stream', 'broken', seed + chat + b'\x03\x00\x00\x00junk' + avatar)
    write('sdk_stream', 'unexpected-types', seed + frame(HELLO_REPLY, 1, 0) + frame(LOGIN, 3, 0) + chat)
    write('sdk_stream', 'wrong-kinds', seed + frame(EVENT, 0, 6, s(222, 'seven'), i(223, 5), b(207, True),
                                                   i(5000, 1), s(334, 'x' * 4000)))
    write('sdk_stream', 'event-numbers', seed + frame(EVENT, 0, -1) + frame(EVENT, 0, 31) + frame(EVENT, 0, 32))


def records(link, data):
    """Data arriving on one of the server target's connections, in pieces of at most 255 bytes."""
    out = b''
    for start in range(0, len(data), 255):
        piece = data[start:start + 255]
        out += bytes([link, len(piece)]) + piece
    return out


def server_session():
    hello = frame(HELLO, 1, 1, i(F_NUMBER, 63))
    founder = frame(LOGIN, 2, 0, s(0, 'Bot'), i(2, 1), s(3, 'founder-pw'), s(6, 'Fuzz 1'))
    tester = frame(LOGIN, 2, 0, s(0, 'Other'), i(2, 2), s(3, 'tester-pw'), s(6, 'Fuzz 1'))
    enter = frame(ENTER, 3, 0, s(F_WORLD, 'Town'), b(328, False))
    place = frame(STATE_CHANGE, 4, 0, i(198, 100), i(199, 0), i(200, 100), i(201, 900), i(203, 2))
    say = frame(SAY, 5, 0, s(F_TEXT, 'hello <b>world</b>'))
    whisper = frame(WHISPER, 6, 0, i(F_SESSION, 1), s(F_TEXT, 'psst'))
    worlds = frame(WORLD_LIST, 7, 0)
    citizen = frame(CITIZEN_NAME, 8, 0, s(F_NAME, 'tester')) + frame(CITIZEN_NUMBER, 9, 0, i(F_NUMBER, 1))
    admin = (frame(WORLD_CHANGE, 10, 0, s(45, 'New title'), b(73, False), s(52, '*')) +
             frame(WORLD_EJ_ADD, 11, 0, i(273, 2), i(274, 2), i(275, 0), s(277, 'rude')) +
             frame(WORLD_EJ_LOOKUP, 12, 0, i(273, 2), i(274, 0)) + frame(WORLD_EJ_NEXT, 13, 0, i(273, 2), i(274, 0)) +
             frame(UNI_EJ_ADD, 14, 0, i(274, 0x0200000a), i(275, 0), s(277, 'spam')) +
             frame(UNI_EJ_LOOKUP, 15, 0, i(274, 0x0200000a)) +
             frame(OBJECT_ADD, 16, 0, i(232, 0), i(233, 0), i(234, 0), i(235, 0), s(238, 'wall.rwx'), s(239, ''),
                   s(240, ''), i(248, 0)) +
             frame(OBJECT_LOAD, 17, 0, i(232, 0), i(233, 0), i(234, 0), i(235, 0), s(238, 'tree.rwx'), s(239, ''),
                   s(240, ''), i(244, 2), i(246, 1000), i(248, 0)) +
             frame(ADDRESS, 18, 0, i(F_SESSION, 1)) + frame(CLICK, 19, 0, i(F_SESSION, 1)) +
             frame(URL, 20, 0, i(F_SESSION, 1), s(F_URL, 'http://example.invalid/'), s(F_TARGET, '')) +
             frame(TELEPORT, 21, 0, i(F_SESSION, 2), s(291, ''), i(292, 5000), i(293, 0), i(294, 5000), i(295, 0),
                   b(296, False)) +
             frame(CONSOLE, 22, 0, i(F_SESSION, 0), i(329, 255), i(330, 0), i(331, 0), b(332, True), b(333, False),
                   s(334, 'notice')) +
             frame(EJECT, 23, 0, i(271, 2), i(272, 60)) +
             frame(UNIVERSE_CHANGE, 24, 0, s(21, 'Welcome'), b(24, True)))
    write('server_session', 'login-enter-chat', records(0, hello + founder + enter + place + say + whisper + worlds))
    write('server_session', 'administration', records(0, hello + founder + enter + place) + records(1, hello + tester) +
          records(1, enter) + records(0, citizen + admin))
    write('server_session', 'two-bots-and-people',
          records(0, hello + founder + enter + place) + records(1, hello + tester + enter) +
          bytes([4, 0, 5]) + b'Carol' + bytes([9, 0, 0, 0, 0, 0, 0, 0, 0, 0]) +  # a person arrives in Town
          bytes([4, 1, 0, 3]) + b'hey' + bytes([4, 4, 0]) +                 # says something, leaves
          records(0, say) + records(1, frame(EXIT, 30, 0)) + records(0, worlds))
    write('server_session', 'not-logged-in', records(2, hello + say + enter + founder[:10]))
    write('server_session', 'no-hello', records(3, say + hello))
    write('server_session', 'old-version', records(3, frame(HELLO, 1, 0, i(F_NUMBER, 63))))
    write('server_session', 'broken-frame', records(0, hello + founder) + records(0, b'\x02\x00\x00\x00xx') +
          records(0, hello + founder))
    write('server_session', 'relogin-and-close',
          records(0, hello + founder + enter + founder + frame(PING, 0, 0) + frame(CLOSE, 0, 0)))


def text_files():
    write('location', 'full', 'Town 40.5N 50W 2.5a 180')
    write('location', 'catalogue', 'NaN inf 1e999N -0W 1,5a ' + '9' * 100 + 'S -infE -nan 0x7fN')
    write('location', 'blanks', '\t Globe  \r\n 1s\x0b 2e ')
    write('profiles', 'crlf', 'Main:1:secret:Bot:localhost:5870:Town:40N 50W:\r\nSpare:2:pw:Two::0::0n 0e:\r\n')
    write('profiles', 'bom-lf-no-final-newline',
          '\ufeffMain:1:secret:Bot:localhost:5870:Town:1n:\nmain:3:dup:Bot:h:1:w:c:\nbroken line\nLast:9:p:b:h:99999999999:w:c:extra')
    write('profiles', 'junk', b'\x00\xff\xfe:::::::\r\r\n\x01:\x02:\x03:\x04:\x05:\x06:\x07:\x08:\n' + b'x' * 3000 + b'\n')
    write('teleport_list', 'crlf', 'Town 40N 50W 2a 180:Home\r\nGlobe 1s 1e:Globe: the start\r\n')
    write('teleport_list', 'bom-lf-no-final-newline', '\ufeffOld 1n:\u00c4rger\nold 2n:arger\n:empty\nno colon\nOld 3n:Last')
    write('teleport_list', 'junk', b'\x00junk:name\r\x7f\xc3:\xff\xfe\n' + b'NaN 1e999N:' + b'y' * 3000)
    write('avatar_table', 'crlf', 'Town:3\r\nGlobe:250\r\n')
    write('avatar_table', 'bom-lf-stray-line', '\ufeffTown:3\ntown:4\nstray line\nOld:7\nno final newline')
    write('avatar_table', 'junk', b'\x00:1\r:\xff\xfe\n 99999999999 \n' + b'z' * 3000 + b':-5')
    write('rules_file', 'examples',
          '# rules\n[Greeter]\nwhen = arrival first-visit\nclass = citizen visitor\ncooldown-person = 600\n'
          'then = whisper Welcome to {world}, {name}!\n\n[Hours]\non = no\nwhen = chat\nwords = opening hours, hours\n'
          'regex = \\b(next|upcoming)\\s+event\nworld = Town, Sunset\nbuild = 20-\nthen = say Open at {time}.\n\n'
          '[Flood]\nwhen = chat\nflood = 5 10\nwarn = slow down {name}\nthen = eject 5\nthen = notice ejected\n\n'
          '[Walk]\nwhen = at 18:05\nthen = teleport Town 100 0 -200 900\nthen = notify walk\n')
    write('rules_file', 'broken-crlf',
          '\ufeff stray = 1\r\n[Broken]\r\nwhen = sometimes\r\nthen = say x\r\n[]\r\n[No then]\r\nwhen = every 0\r\n'
          '[Bad regex]\r\nwhen = whisper\r\nregex = (a|\r\nthen = say y\r\n[Back ref]\r\nwhen = chat\r\n'
          'regex = (\\w+) \\1\r\nname = [Echo*]\r\nclass = bot\r\nthen = say z')
    write('rules_file', 'junk', b'[\x00]\nwhen = chat\nthen = say \xff\xfe{name\n[' + b'x' * 3000 + b']\nthen=\n=\n')


def ini():
    settings = ('[Settings]\r\nDisplayEnterExit=1\r\nChatBoxRed=300\r\nChatBoxRed=5\r\n; a comment\r\n'
                '[Global]\r\nEnterGlobal=-99999999999\r\n\r\n[Fonts]\r\nFaceName= Deja Vu \r\nunknown=kept\r\n')
    write('ini', 'crlf-duplicates-range', b'\x01\x05value' + settings.encode())
    write('ini', 'bom-no-final-newline', b'\x00\x00' + '\ufeff[settings]\nwavelocation=/tmp/a.wav'.encode())
    write('ini', 'junk', b'\x03\x04a\nb\r' + b'key before section=1\n[unclosed\n[]\n=no key\n\x00\xff=\xfe\n' + b'k' * 3000)


def rtf():
    ops = b''
    ops += bytes([1, 0, 5]) + b'Alice'
    ops += bytes([0, 1, 9]) + b': hello\t{'
    ops += bytes([2, 8, 12]) + b'\\par }{\\rtf '
    ops += bytes([0x81, 0x22, 0x11, 0x00, 0x00, 6, 14]) + '\u00e9\U0001f600 \u202e'.encode()
    ops += bytes([3, 8, 6]) + b'a\r\nb\rc'
    ops += bytes([4, 0, 3]) + b'\xff\xc3\x28'
    write('rtf', 'chat', bytes([0, 5]) + b'Arial' + bytes([10]) + ops)
    write('rtf', 'font-and-limit', bytes([130, 7]) + b'a;b}\\{c' + bytes([0]) + ops + bytes([0, 0xfe]) + ops)
    write('rtf', 'long-line', bytes([0, 0, 0]) + bytes([1, 0x18, 4]) + b'abc\x01' + bytes([0, 0xff]) + ops)


def smtp():
    write('smtp_reply', 'session', b'\x07\x00220 relay ready\r\n250-relay\r\n250-SIZE 100\r\n250 OK\r\n354 go\r\n221 bye\r\n')
    write('smtp_reply', 'odd', b'\x01\x00250\n25\n2a0-x\n\n-\n250-\r\n250 \r\n999 x\n12')


def history_query():
    write('history_query', 'words', 'hello harb* "meet me"')
    write('history_query', 'syntax', 'NEAR(a b, 2) OR x AND NOT y ^col:z {a b}:c + - ( ) " "*')
    write('history_query', 'junk', b'"\x00\xff\xfe*"" *\x1b[31m \xc3 \xe2\x80\x94 ' + b'q' * 300 + b'"unclosed')


def attach_session():
    # The same records as server_session; the actions (a byte with bit 2 set) are the attach harness's own.
    hello = frame(HELLO, 1, 1, i(F_NUMBER, 63), i(1013, 1))
    login = frame(LOGIN, 2, 0, s(3, 'secret'), i(1015, 1))
    wrong = frame(LOGIN, 2, 0, s(3, 'guess'))
    enter = frame(ENTER, 3, 0, s(F_WORLD, 'Town'))
    elsewhere = frame(ENTER, 4, 0, s(F_WORLD, 'Harbour'))
    place = frame(STATE_CHANGE, 5, 0, i(198, 100), i(199, 0), i(200, 100), i(201, 900), i(203, 2))
    say = frame(SAY, 6, 0, s(F_TEXT, 'hello'))
    whisper = frame(WHISPER, 7, 0, i(F_SESSION, 1), s(F_TEXT, 'psst'))
    leave = frame(EXIT, 8, 0) + frame(CLOSE, 0, 0)
    ping = frame(PING, 9, 0)
    # The bot hears an arrival: event 0 with two attributes, session 5 (an integer) and the name Alice (a string).
    people = bytes([4, 2, 0, 2, 0xce, 0, 0, 5, 0, 0, 0, 0xcf, 0, 2, 5]) + b'Alice'
    write('attach_session', 'attach-enter-act', records(0, hello + login + enter + place + say + whisper + ping))
    write('attach_session', 'two-windows', records(0, hello + login + enter) + records(1, hello + login + enter) +
          people + records(0, say + leave) + records(1, elsewhere))
    write('attach_session', 'wrong-password', records(2, hello + wrong + wrong + enter + say))
    write('attach_session', 'no-hello', records(3, say + hello))
    write('attach_session', 'in-pieces', records(0, hello[:7]) + records(0, hello[7:] + login) + records(0, enter))


if __name__ == '__main__':
    frames()
    sdk_stream()
    server_session()
    text_files()
    ini()
    rtf()
    smtp()
    history_query()
    attach_session()
