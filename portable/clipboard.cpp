// Movable memory blocks and the clipboard (plain text only), with the host
// system's rules: the clipboard must be open to be emptied, filled or read;
// a block handed to it belongs to it (and cannot be freed by the program).
//
// The text the program puts on the clipboard is handed to the front end;
// when the front end has a clipboard of its own (the desktop's), reading the
// clipboard reads the front end's text.
#include <cstring>

#include "portable/internal.h"

namespace ws {

enum { maxBlocks = 1024 };
enum : size_t { maxBlockBytes = 64u * 1024u * 1024u };
enum : uint32_t {
    errorAccessDenied = 5,
    errorInvalidHandle = 6,
    errorNotEnoughMemory = 8,
    errorInvalidParameter = 87,
    errorNotLocked = 158,
    errorClipboardNotOpen = 1418,
};

struct Block {
    bool used;
    uint16_t generation;
    std::vector<char> bytes;
    int locks;
    bool ownedByClipboard;
};
static Block blocks[maxBlocks];

struct Clipboard {
    bool open;
    plHwnd openedBy;
    plHwnd owner;
    plHglobal text;
};
static Clipboard clipboard;

// While a command runs with the clipboard diverted (pwDivertedCommand), what
// it puts on the clipboard is kept here instead, and the clipboard itself,
// its owner and the front end's clipboard are left alone.
struct Diversion {
    bool active;
    bool open;
    bool set;
    std::string text;
};
static Diversion diversion;

static Block* blockOf(plHglobal handle)
{
    int index = slotOf(reinterpret_cast<uintptr_t>(handle), blocks);
    return index < 0 ? nullptr : &blocks[index];
}

static void freeBlock(Block& block)
{
    uint16_t generation = block.generation;
    block = Block{};
    block.generation = generation;
}

plHglobal allocateBlock(size_t bytes, bool injectable)
{
    if (injectable && settings.failAllocations > 0) {
        --settings.failAllocations;
        lastError = errorNotEnoughMemory;
        return nullptr;
    }
    if (bytes > maxBlockBytes) {
        lastError = errorNotEnoughMemory;
        return nullptr;
    }
    for (int i = 0; i < maxBlocks; ++i) {
        if (blocks[i].used) continue;
        Block& block = blocks[i];
        block.used = true;
        block.generation = nextGeneration(block.generation);
        block.bytes.assign(bytes, 0);
        block.locks = 0;
        block.ownedByClipboard = false;
        return reinterpret_cast<plHglobal>(packHandle(i, block.generation));
    }
    lastError = errorNotEnoughMemory;
    return nullptr;
}

static void dropClipboardText()
{
    Block* block = blockOf(clipboard.text);
    if (block) freeBlock(*block);
    clipboard.text = nullptr;
}

void resetClipboard()
{
    for (Block& block : blocks) freeBlock(block);
    clipboard = Clipboard{};
    diversion = Diversion{};
}

// The bytes of a block up to its first NUL (or its end).
static size_t textLength(const Block& block)
{
    size_t n = 0;
    while (n < block.bytes.size() && block.bytes[n]) ++n;
    return n;
}

// The front end's clipboard text as the clipboard's block: the block already
// there when it holds the same text, a new one otherwise (null: no text).
static plHglobal frontEndText()
{
    const char* text = nullptr;
    size_t length = 0;
    if (!hooks.getClipboard(&text, &length) || !text) {
        dropClipboardText();
        return nullptr;
    }
    Block* current = blockOf(clipboard.text);
    if (current && textLength(*current) == length && std::memcmp(current->bytes.data(), text, length) == 0) {
        return clipboard.text;
    }
    dropClipboardText();
    plHglobal handle = allocateBlock(length + 1, false);
    Block* block = blockOf(handle);
    if (!block) return nullptr;
    std::memcpy(block->bytes.data(), text, length);
    block->ownedByClipboard = true;
    clipboard.text = handle;
    return handle;
}

int divertedCommand(plHwnd window, uint16_t command, std::string* text)
{
    if (!windowOf(window) || diversion.active) return 0;
    diversion = Diversion{};
    diversion.active = true;
    callProcedure(window, WM_COMMAND, command, 0);
    const bool set = diversion.set;
    if (set && text) *text = diversion.text;
    diversion = Diversion{};
    return set ? 1 : 0;
}

int liveBlockCount()
{
    int count = 0;
    for (const Block& block : blocks) count += block.used ? 1 : 0;
    return count;
}

}  // namespace ws

using namespace ws;

// ---------------------------------------------------------------------------
// Movable memory.

plHglobal plGlobalAlloc(uint32_t, size_t bytes)
{
    return allocateBlock(bytes, true);
}

void* plGlobalLock(plHglobal handle)
{
    Block* block = blockOf(handle);
    if (!block) {
        lastError = errorInvalidHandle;
        return nullptr;
    }
    if (block->bytes.empty()) return nullptr;   // a zero-byte block has no memory
    ++block->locks;
    return block->bytes.data();
}

int plGlobalUnlock(plHglobal handle)
{
    Block* block = blockOf(handle);
    if (!block) {
        lastError = errorInvalidHandle;
        return 0;
    }
    if (block->locks == 0) {
        lastError = errorNotLocked;
        return 0;
    }
    --block->locks;
    lastError = 0;
    return block->locks > 0 ? 1 : 0;
}

size_t plGlobalSize(plHglobal handle)
{
    Block* block = blockOf(handle);
    return block ? block->bytes.size() : 0;
}

plHglobal plGlobalFree(plHglobal handle)
{
    if (!handle) return nullptr;
    Block* block = blockOf(handle);
    if (!block) {
        lastError = errorInvalidHandle;
        return handle;
    }
    if (block->ownedByClipboard) {
        lastError = errorAccessDenied;
        return handle;
    }
    freeBlock(*block);
    return nullptr;
}

// ---------------------------------------------------------------------------
// Clipboard.

int plOpenClipboard(plHwnd owner)
{
    if (diversion.active) {
        diversion.open = true;
        return 1;
    }
    if (clipboard.open && clipboard.openedBy != owner) {
        lastError = errorAccessDenied;
        return 0;
    }
    clipboard.open = true;
    clipboard.openedBy = owner;
    return 1;
}

int plCloseClipboard()
{
    if (diversion.active) {
        if (!diversion.open) {
            lastError = errorClipboardNotOpen;
            return 0;
        }
        diversion.open = false;
        return 1;
    }
    if (!clipboard.open) {
        lastError = errorClipboardNotOpen;
        return 0;
    }
    clipboard.open = false;
    clipboard.openedBy = nullptr;
    return 1;
}

int plEmptyClipboard()
{
    if (diversion.active) {
        if (!diversion.open) {
            lastError = errorClipboardNotOpen;
            return 0;
        }
        diversion.set = false;
        diversion.text.clear();
        return 1;
    }
    if (!clipboard.open) {
        lastError = errorClipboardNotOpen;
        return 0;
    }
    dropClipboardText();
    clipboard.owner = clipboard.openedBy;
    if (hooks.setClipboard) hooks.setClipboard(nullptr, 0);
    return 1;
}

plHglobal plSetClipboardData(uint32_t format, plHglobal handle)
{
    if (diversion.active) {
        Block* block = blockOf(handle);
        if (!diversion.open || format != CF_TEXT || !block) {
            lastError = diversion.open ? errorInvalidParameter : errorClipboardNotOpen;
            return nullptr;
        }
        // The block is the clipboard's once handed over: it goes at once.
        diversion.set = true;
        diversion.text.assign(block->bytes.data(), textLength(*block));
        freeBlock(*block);
        return handle;
    }
    if (!clipboard.open) {
        lastError = errorClipboardNotOpen;
        return nullptr;
    }
    Block* block = blockOf(handle);
    if (format != CF_TEXT || !block) {
        lastError = errorInvalidParameter;
        return nullptr;
    }
    if (clipboard.text != handle) dropClipboardText();
    block->ownedByClipboard = true;
    clipboard.text = handle;
    if (hooks.setClipboard) hooks.setClipboard(block->bytes.data(), textLength(*block));
    return handle;
}

plHglobal plGetClipboardData(uint32_t format)
{
    if (!clipboard.open) {
        lastError = errorClipboardNotOpen;
        return nullptr;
    }
    if (format != CF_TEXT) return nullptr;
    if (hooks.getClipboard) return frontEndText();
    return blockOf(clipboard.text) ? clipboard.text : nullptr;
}

int plIsClipboardFormatAvailable(uint32_t format)
{
    if (format != CF_TEXT) return 0;
    if (hooks.getClipboard) {
        const char* text = nullptr;
        size_t length = 0;
        return hooks.getClipboard(&text, &length) && text ? 1 : 0;
    }
    return blockOf(clipboard.text) ? 1 : 0;
}
