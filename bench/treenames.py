"""Names for the tree maker's folders and files: mostly short and ordinary, as in a home
folder or a source checkout, now and then hidden, with spaces, UTF-8 or bytes that are not
UTF-8 at all."""

from treedraw import below

FOLDER_WORDS = tuple(b"""
src lib docs test tests build bin include assets images img icons fonts css js data
config scripts tools util vendor examples samples notes drafts archive backup old tmp
cache logs music photos videos downloads projects work school taxes recipes travel misc
inbox sent reports invoices papers slides sketches models textures levels sounds maps
locale po man share pkg cmd internal api web static templates layouts themes plugins
modules core common net db migrations fixtures mocks demo release debug out dist target
obj gen proto schema widgets views handlers parsers jobs queue store media thumbs
covers albums scans letters books games saves mods shaders meshes plots figures results
runs input output raw clean export import sync mail contacts calendar bills health
""".split())

FILE_STEMS = tuple(b"""
readme main index util helpers notes todo report photo scan draft letter invoice budget
track song clip config settings setup install changelog license makefile style app
server client model view test data sample output log backup thumb cover page chapter
summary parser lexer queue cache render shader mesh level save player enemy world map
table chart figure result list task event user account order item price stock trip
""".split())

EXTENSIONS = tuple(b"""
txt md c h cpp hpp py js ts json html css jpg jpeg png gif pdf odt ods xml yml yaml sh
log mp3 ogg flac csv ini conf rs go java svg gz zip bak tex rst toml lock o a so
""".split())

HIDDEN_FOLDERS = tuple(b"""
.config .cache .local .ssh .vscode .idea .npm .cargo .gradle .venv .mozilla .thumbnails
""".split())

HIDDEN_FILES = tuple(b"""
.bashrc .profile .env .editorconfig .clang-format .npmrc .DS_Store .viminfo .lesshst
.python_history .gitattributes .dir-colors
""".split())

SPACED_FOLDERS = (b"New Folder", b"My Music", b"Old Photos", b"To Sort",
                  b"Scanned Documents", b"Camera Roll", b"Tax Papers", b"Work Stuff",
                  b"Summer Trip", b"Copy of notes", b"Final Version", b" leading space",
                  b"trailing space ")

SPACED_FILES = (b"Meeting notes.txt", b"Copy of report.pdf", b"new file.md",
                b"Screen Shot 1.png", b"budget final FINAL.ods", b"cover letter.odt",
                b"two  spaces.txt")

UTF8_NAMES = tuple(word.encode("utf-8") for word in (
    "Résumé", "Übersicht", "café", "naïve", "日記", "фото", "Ελληνικά", "señal",
    "smörgåsbord", "Ærø", "Łódź", "crème brûlée", "𝄞 notes"))

# Latin-1 bytes, as left behind by an old archive or a foreign file system.
ODD_BYTE_NAMES = (b"caf\xe9", b"na\xefve", b"\xc4rger", b"r\xe9sum\xe9", b"Gr\xfc\xdfe",
                  b"\xff\xfe", b"bad\x80byte", b"se\xf1al")

HIDDEN_SHARE = 0.03
SPACED_SHARE = 0.008
UTF8_SHARE = 0.004
ODD_SHARE = 0.0006


def pick(rng, words):
    return words[below(rng, len(words))]


def unusual(rng, hidden, spaced):
    """An unusual name one time in thirty or so, else None."""
    r = rng.random()
    if r < HIDDEN_SHARE:
        return pick(rng, hidden)
    r -= HIDDEN_SHARE
    if r < SPACED_SHARE:
        return pick(rng, spaced)
    r -= SPACED_SHARE
    if r < UTF8_SHARE:
        return pick(rng, UTF8_NAMES)
    r -= UTF8_SHARE
    if r < ODD_SHARE:
        return pick(rng, ODD_BYTE_NAMES)
    return None


def folder_name(rng):
    """A folder name such as b"src", b"photos2", b"2017", b"test_data" or b"Old Photos"."""
    odd = unusual(rng, HIDDEN_FOLDERS, SPACED_FOLDERS)
    if odd is not None:
        return odd
    r = rng.random()
    word = pick(rng, FOLDER_WORDS)
    if r < 0.6:
        return word
    if r < 0.75:
        return b"%s%d" % (word, below(rng, 10))
    if r < 0.85:
        return b"%d" % (1998 + below(rng, 28))
    if r < 0.95:
        return b"%s_%s" % (word, pick(rng, FOLDER_WORDS))
    return word.capitalize()


def file_name(rng):
    """A file name such as b"main.c", b"photo_0142.jpg", b"notes3.md" or b".bashrc"."""
    odd = unusual(rng, HIDDEN_FILES, SPACED_FILES)
    if odd is not None:
        if odd in UTF8_NAMES or odd in ODD_BYTE_NAMES:
            return odd + b"." + pick(rng, EXTENSIONS)
        return odd
    stem = pick(rng, FILE_STEMS)
    ext = pick(rng, EXTENSIONS)
    r = rng.random()
    if r < 0.45:
        return b"%s.%s" % (stem, ext)
    if r < 0.75:
        return b"%s%d.%s" % (stem, below(rng, 100), ext)
    return b"%s_%04d.%s" % (stem, below(rng, 10000), ext)


def chain_name(rng):
    """A short ordinary folder name for a level of a deep chain."""
    return pick(rng, FOLDER_WORDS)


def hex_name(rng, digits):
    return b"%0*x" % (digits, rng.getrandbits(4 * digits))
