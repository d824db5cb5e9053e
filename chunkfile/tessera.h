/*
 * tessera.h - the public interface of Tessera, the chunk-file library.
 *
 * A level file is a tree of chunks. Each chunk has an eight-byte identifier
 * and a 32-bit little-endian size that counts its 12-byte header; a folder's
 * payload is its children back to back. The file holds that stream either as
 * it is (root chunk "REBINFF2") or inside a Huffman-coded container
 * ("REBCRIF1").
 *
 * This header is the library's ABI and nothing else. Every operation:
 *   - has C linkage and never throws;
 *   - accepts a null handle and then does nothing and returns null / false;
 *   - copies whatever data it is given: no item keeps a caller's pointer;
 *   - reports failure by its result and, for most failures, by one line on
 *     the library's diagnostic output (standard error when the environment
 *     variable TESSERA_DEBUG is set to a value other than empty or "0").
 *
 * Booleans are one byte (1 true, 0 false). Sizes are unsigned 32-bit.
 * Blocks handed out by the library (streams, containers) come from the
 * library's own heap and are freed with ReleaseBuffer, never with free().
 *
 * Threads: the library keeps no state between calls, so distinct trees may be
 * used on different threads at the same time. One tree (every item linked to
 * it, and the data blocks it hands out) is used by one thread at a time; a
 * caller that shares a tree between threads serialises the calls itself.
 *
 * The library is libtessera.so.1 on Linux and Tessera.dll on Windows, where
 * every operation is __cdecl and exported by name and by a fixed ordinal
 * (TesseraInit is ordinal 1). Paths are 8-bit strings: bytes on Linux, the
 * system code page on Windows.
 */
#ifndef TESSERA_H
#define TESSERA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* TESSERA_API marks the operations for export in the library's own build
 * (which defines TESSERA_BUILDING_LIBRARY) and for import in a client of
 * Tessera.dll. A Windows program that links the library's objects statically
 * defines TESSERA_STATIC. TESSERA_CALL is the calling convention of every
 * operation and every pointer in the export record: __cdecl on Windows (the
 * caller removes the arguments), the platform's C convention elsewhere. */
#if defined(_WIN32)
#if defined(TESSERA_BUILDING_LIBRARY)
#define TESSERA_API __declspec(dllexport)
#elif defined(TESSERA_STATIC)
#define TESSERA_API
#else
#define TESSERA_API __declspec(dllimport)
#endif
#define TESSERA_CALL __cdecl
#else
#define TESSERA_API __attribute__((visibility("default")))
#define TESSERA_CALL
#endif

/* The library's version as TesseraInit reports it: 1.4. */
#define TESSERA_VERSION 0x01040000u

/* One-byte boolean used across the library boundary. */
typedef uint8_t RifBool;

/* One node of a chunk tree: a folder (children, no data) or a data item
 * (its own copy of the payload, no children). Opaque to clients. */
typedef struct RifItem RifItem;

/* Insertion point meaning "after the current last child". */
#define RIF_LAST ((RifItem*)(~(uintptr_t)0))

/* ------------------------------------------------------------------------ */
/* Item tree                                                                  */
/* ------------------------------------------------------------------------ */

/* A new unlinked item named by the first 8 characters of name (an empty name
 * when name is null). A folder never gets data; a data item copies size bytes
 * of data when data is not null and size is not 0. The caller owns the item
 * until it is inserted into a folder. Null on allocation failure. */
TESSERA_API RifItem* TESSERA_CALL CreateRifItem(const char* name, RifBool folder, const void* data,
                                                uint32_t size);
/* CreateRifItem with the folder flag set. */
TESSERA_API RifItem* TESSERA_CALL CreateRifItemFolder(const char* name);
/* CreateRifItem with the folder flag clear. */
TESSERA_API RifItem* TESSERA_CALL CreateRifItemChild(const char* name, const void* data,
                                                     uint32_t size);
/* Frees the item, its data and its whole subtree. The item must be in no
 * folder: remove a linked item with RemoveRifItem(item, 1) instead. */
TESSERA_API void TESSERA_CALL DeleteRifItem(RifItem* item);

/* Replaces the item's 8 name bytes with the first 8 characters of name,
 * zero-padded (all zero when name is null). */
TESSERA_API void TESSERA_CALL SetRifItemName(RifItem* item, const char* name);
/* The item's 8 name bytes. They are not zero-terminated when the name has 8
 * characters: always read exactly 8 bytes. */
TESSERA_API const char* TESSERA_CALL GetRifItemName(RifItem* item);

/* Replaces the item's data with a copy of size bytes of data. Null data or
 * size 0 leaves the item without data and returns 1; a folder given data
 * returns 0. */
TESSERA_API RifBool TESSERA_CALL SetRifItemData(RifItem* item, const void* data, uint32_t size);
/* The item's data block and, through size when it is not null, its length.
 * The block stays the item's: its bytes may be changed in place (the change
 * is compiled with the tree) but it is never freed or resized by the caller.
 * Valid until the item's data is set again or the item is deleted. For a null
 * item nothing is stored through size. */
TESSERA_API void* TESSERA_CALL GetRifItemData(RifItem* item, uint32_t* size);
/* Nonzero when the item is a folder; 0 for a data item or a null item. */
TESSERA_API RifBool TESSERA_CALL IsRifItemFolder(RifItem* item);

/* Navigation: the parent folder, first child, next and previous sibling. */
TESSERA_API RifItem* TESSERA_CALL GetParentRifItem(RifItem* item);
TESSERA_API RifItem* TESSERA_CALL GetChildRifItem(RifItem* item);
TESSERA_API RifItem* TESSERA_CALL GetNextRifItem(RifItem* item);
TESSERA_API RifItem* TESSERA_CALL GetPrevRifItem(RifItem* item);

/* Links an unlinked item into the folder parent: first when after is null,
 * last when after is RIF_LAST, otherwise directly behind after (which must be
 * a child of parent). Returns 0 and changes nothing when the item or parent is
 * null or parent is not a folder. The folder then owns the item. */
TESSERA_API RifBool TESSERA_CALL InsertRifItem(RifItem* item, RifItem* parent, RifItem* after);
/* Creates a folder, respectively a data item, and inserts it as above.
 * Null, with nothing created, when parent is null or not a folder. */
TESSERA_API RifItem* TESSERA_CALL InsertRifItemFolder(const char* name, RifItem* parent,
                                                      RifItem* after);
TESSERA_API RifItem* TESSERA_CALL InsertRifItemChild(const char* name, const void* data,
                                                     uint32_t size, RifItem* parent,
                                                     RifItem* after);
/* Unlinks the item from its folder and siblings; deletes it with its subtree
 * when deleteItem is nonzero, otherwise hands it back to the caller. */
TESSERA_API void TESSERA_CALL RemoveRifItem(RifItem* item, RifBool deleteItem);

/* The first direct child of folder whose 8 name bytes equal the first 8
 * characters of name upper-cased (stored names are not case-folded). Null for
 * a null or empty name, a data item, or no match. */
TESSERA_API RifItem* TESSERA_CALL FindFirstRifItem(RifItem* folder, const char* name);
/* The next sibling with exactly the same 8 name bytes as item, or null. */
TESSERA_API RifItem* TESSERA_CALL FindNextRifItem(RifItem* item);

/* ------------------------------------------------------------------------ */
/* Chunk stream                                                               */
/* ------------------------------------------------------------------------ */

/* Parses a plain chunk stream (root chunk "REBINFF2") into a new tree that
 * the caller owns and frees with DeleteRifItem. The stream is only read and
 * may be freed as soon as the call returns. Null on failure.
 *
 * No length is passed: the caller vouches that the buffer holds every byte
 * that the sizes in the stream claim. Use LoadRif for bytes of unknown
 * origin; it bounds the parse by the length it is given. */
TESSERA_API RifItem* TESSERA_CALL ParseRif(const void* stream);
/* Writes the tree below root as a new plain stream (the root always as a
 * folder) and stores its length through length when that is not null.
 * Free the result with ReleaseBuffer. Null, with 0 stored, on failure. */
TESSERA_API void* TESSERA_CALL CompileRif(RifItem* root, uint32_t* length);
/* Frees a block handed out by CompileRif, SaveRif, CompressRif or
 * DecompressRif. Null is ignored. */
TESSERA_API void TESSERA_CALL ReleaseBuffer(void* block);

/* ------------------------------------------------------------------------ */
/* Compressed container                                                       */
/* ------------------------------------------------------------------------ */

/* Codes size bytes of data into a new "REBCRIF1" container (a 316-byte
 * header and a canonical Huffman code of at most 11 bits per byte, packed
 * least significant bit first) and stores its length through outSize when
 * that is not null. The same input always gives the same container. Null,
 * with outSize untouched, for null data or size 0; null, with 0 stored, when
 * memory runs out or the container would exceed 4 GiB. Free the result with
 * ReleaseBuffer. */
TESSERA_API void* TESSERA_CALL CompressRif(const void* data, uint32_t size, uint32_t* outSize);
/* Decodes a container into a new buffer of the plain bytes followed by four
 * zero bytes, and stores the plain length through outSize when that is not
 * null. Free the result with ReleaseBuffer.
 *
 * Null, with outSize untouched and no message: no "REBCRIF1" magic, or a
 * stream or plain size of 0. Null, with 0 stored: a header whose code counts
 * cannot form a code ("ERROR: The file is corrupt!" and/or "ERROR: Failed to
 * build Huffman table!"), a stream that runs out before the plain size is
 * reached (no message), a code that matches no byte ("ERROR: Input data is
 * corrupt!"), or no memory. The header's code has one code more than the 256
 * byte values, the last and longest, which CompressRif never writes: it
 * decodes to nothing, so a stream that holds it is corrupt.
 *
 * No length is passed: the caller vouches that the buffer holds the 316
 * header bytes plus the stream size the header claims; nothing past that is
 * read. Use LoadRif for bytes of unknown origin. */
TESSERA_API void* TESSERA_CALL DecompressRif(const void* container, uint32_t* outSize);

/* ------------------------------------------------------------------------ */
/* Files and buffers                                                          */
/* ------------------------------------------------------------------------ */

/* The largest level file LoadRifFile reads. The game's levels are a few
 * megabytes; a file beyond this is not one of them, and refusing it before
 * reading keeps a load's memory bounded: the file's block, and the plain
 * stream of a container, which a Huffman code can make at most eight times
 * as long (512 MiB). */
#define RIF_MAX_FILE_SIZE (64u * 1024u * 1024u)

/* Loads a level file, plain or compressed, into a new tree that the caller
 * frees with DeleteRifItem. The whole file is read; a file shorter than a
 * chunk header or longer than RIF_MAX_FILE_SIZE, anything but a regular file
 * (a folder, a pipe, a device), or a file whose container or root chunk
 * claims more bytes than the file holds, is refused. A pipe is refused
 * without waiting for a writer. Null on any failure. */
TESSERA_API RifItem* TESSERA_CALL LoadRifFile(const char* path);
/* Compiles the tree, compresses it and only then replaces the file at path
 * with the container: it is written to a new file in the same folder, flushed
 * to disk and renamed over the old one, which keeps its permission bits (a
 * new file gets those of an ordinary create). A symbolic link is followed and
 * stays. On any failure (the folder not writable, the disk full) the result
 * is 0, the old file is left byte for byte as it was and no new file remains.
 * Returns 1 when the new file is in place. */
TESSERA_API RifBool TESSERA_CALL SaveRifFile(RifItem* root, const char* path);
/* Loads a tree from length bytes at data (plain or compressed). Nothing past
 * data + length is read: sizes that claim more make the block corrupt. The
 * block is only read and never kept. Null on any failure. */
TESSERA_API RifItem* TESSERA_CALL LoadRif(const void* data, uint32_t length);
/* Compiles and compresses the tree into a new container, storing its length
 * through length when that is not null. Free it with ReleaseBuffer. */
TESSERA_API void* TESSERA_CALL SaveRif(RifItem* root, uint32_t* length);

/* ------------------------------------------------------------------------ */
/* Typed chunk readers                                                        */
/* ------------------------------------------------------------------------ */

/* A data item's size and data block as GetRifItemData gives them; both zero
 * when the item is absent or a folder. The block stays the tree's. */
typedef struct RifDataRef {
    uint32_t dwDataSize;
    void* pData;
} RifDataRef;

/* The pieces of one shape (a "REBSHAPE" folder). */
typedef struct REBSHAPEDATA {
    RifDataRef shpHead1; /* "SHPHEAD1" */
    RifDataRef shpCentr; /* "SHPCENTR" */
    RifDataRef shpRawVt; /* "SHPRAWVT" */
    RifDataRef shpVNorm; /* "SHPVNORM" */
    RifDataRef shpPNorm; /* "SHPPNORM" */
    RifDataRef shpPolys; /* "SHPPOLYS" */
    RifDataRef shpUvCrd; /* "SHPUVCRD" */
    RifDataRef shpMrgDt; /* "SHPMRGDT" */
    RifDataRef shpExtFn; /* "SHPEXTFN" inside "SHPEXTFL" */
    RifDataRef bmpLstSt; /* "BMPLSTST" inside "SHPEXTFL" */
    RifDataRef bmNamExt; /* "BMNAMEXT" inside "SHPEXTFL" */
    RifDataRef bmNamVer; /* "BMNAMVER" inside "SHPEXTFL" */
    RifDataRef riffName; /* "RIFFNAME" inside "SHPEXTFL" */
    RifDataRef extObjNm; /* "EXTOBJNM" inside "SHPEXTFL" */
} REBSHAPEDATA;

/* The light set and its well-known children; null where absent. */
typedef struct LIGHTSETDATA {
    RifItem* lightSet; /* "LIGHTSET" */
    RifItem* ltSetHdr; /* "LTSETHDR" */
    RifItem* ambience; /* "AMBIENCE" */
    RifItem* stdLight; /* "STDLIGHT" */
} LIGHTSETDATA;

/* The environment folder and its well-known children; null where absent. */
typedef struct REBENVDATA {
    RifItem* rebEnvDt; /* "REBENVDT" */
    RifItem* endtHead; /* "ENDTHEAD" */
    RifItem* envSdScl; /* "ENVSDSCL" */
    RifItem* riffName; /* "RIFFNAME" */
    RifItem* bmpNames; /* "BMPNAMES" */
    RifItem* gloGenDc; /* "GLOGENDC" */
    RifItem* envAcous; /* "ENVACOUS" */
    RifItem* qelEnvir; /* "QELENVIR": the level's equipment record */
    RifItem* soundDir; /* "SOUNDDIR" */
    RifItem* speclObj; /* "SPECLOBJ" */
    RifItem* fragType; /* "FRAGTYPE" */
} REBENVDATA;

/* Each reader returns 0 and leaves the record alone for a null item or
 * record; otherwise it zeroes the record first and fills it only when the
 * item is of the expected kind. Nothing is copied or allocated. */
/* From a "REBSHAPE" folder with at least one child. */
TESSERA_API RifBool TESSERA_CALL GetRebShapeData(RifItem* shape, REBSHAPEDATA* data);
/* From a "LIGHTSET" item, its "REBENVDT" folder, or the "REBINFF2" root. */
TESSERA_API RifBool TESSERA_CALL GetLightSetData(RifItem* item, LIGHTSETDATA* data);
/* From a "REBENVDT" folder or the "REBINFF2" root. */
TESSERA_API RifBool TESSERA_CALL GetRebEnvData(RifItem* item, REBENVDATA* data);

/* ------------------------------------------------------------------------ */
/* Export record                                                              */
/* ------------------------------------------------------------------------ */

typedef RifItem*(TESSERA_CALL* PFN_LoadRifFile)(const char*);
typedef RifBool(TESSERA_CALL* PFN_SaveRifFile)(RifItem*, const char*);
typedef RifItem*(TESSERA_CALL* PFN_LoadRif)(const void*, uint32_t);
typedef void*(TESSERA_CALL* PFN_SaveRif)(RifItem*, uint32_t*);
typedef void*(TESSERA_CALL* PFN_DecompressRif)(const void*, uint32_t*);
typedef void*(TESSERA_CALL* PFN_CompressRif)(const void*, uint32_t, uint32_t*);
typedef RifItem*(TESSERA_CALL* PFN_ParseRif)(const void*);
typedef void*(TESSERA_CALL* PFN_CompileRif)(RifItem*, uint32_t*);
typedef void(TESSERA_CALL* PFN_ReleaseBuffer)(void*);
typedef RifItem*(TESSERA_CALL* PFN_CreateRifItem)(const char*, RifBool, const void*, uint32_t);
typedef RifItem*(TESSERA_CALL* PFN_CreateRifItemFolder)(const char*);
typedef RifItem*(TESSERA_CALL* PFN_CreateRifItemChild)(const char*, const void*, uint32_t);
typedef void(TESSERA_CALL* PFN_DeleteRifItem)(RifItem*);
typedef void(TESSERA_CALL* PFN_SetRifItemName)(RifItem*, const char*);
typedef const char*(TESSERA_CALL* PFN_GetRifItemName)(RifItem*);
typedef RifBool(TESSERA_CALL* PFN_SetRifItemData)(RifItem*, const void*, uint32_t);
typedef void*(TESSERA_CALL* PFN_GetRifItemData)(RifItem*, uint32_t*);
typedef RifBool(TESSERA_CALL* PFN_IsRifItemFolder)(RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_GetParentRifItem)(RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_GetChildRifItem)(RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_GetNextRifItem)(RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_GetPrevRifItem)(RifItem*);
typedef RifBool(TESSERA_CALL* PFN_InsertRifItem)(RifItem*, RifItem*, RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_InsertRifItemFolder)(const char*, RifItem*, RifItem*);
typedef RifItem*(TESSERA_CALL* PFN_InsertRifItemChild)(const char*, const void*, uint32_t, RifItem*,
                                                       RifItem*);
typedef void(TESSERA_CALL* PFN_RemoveRifItem)(RifItem*, RifBool);
typedef RifItem*(TESSERA_CALL* PFN_FindFirstRifItem)(RifItem*, const char*);
typedef RifItem*(TESSERA_CALL* PFN_FindNextRifItem)(RifItem*);
typedef RifBool(TESSERA_CALL* PFN_GetRebShapeData)(RifItem*, REBSHAPEDATA*);
typedef RifBool(TESSERA_CALL* PFN_GetLightSetData)(RifItem*, LIGHTSETDATA*);
typedef RifBool(TESSERA_CALL* PFN_GetRebEnvData)(RifItem*, REBENVDATA*);

/*
 * TesseraInit fills one of four record forms. Set dwSize to sizeof the form
 * you declare; the library writes dwVersion and that form's pointers and not
 * one byte more. The forms list the same operations as the library's 32-bit
 * build (sizes 84, 108, 124, 132 there); with 8-byte pointers they are 160,
 * 208, 240 and 256 bytes.
 */

/* The smallest form: the tree, the stream and the shape reader. */
typedef struct TESSERAEXPORT84 {
    uint32_t dwSize;
    uint32_t dwVersion;
    PFN_ParseRif ParseRif;
    PFN_CompileRif CompileRif;
    PFN_ReleaseBuffer ReleaseBuffer;
    PFN_CreateRifItem CreateRifItem;
    PFN_DeleteRifItem DeleteRifItem;
    PFN_SetRifItemName SetRifItemName;
    PFN_GetRifItemName GetRifItemName;
    PFN_SetRifItemData SetRifItemData;
    PFN_GetRifItemData GetRifItemData;
    PFN_IsRifItemFolder IsRifItemFolder;
    PFN_GetParentRifItem GetParentRifItem;
    PFN_GetChildRifItem GetChildRifItem;
    PFN_GetNextRifItem GetNextRifItem;
    PFN_GetPrevRifItem GetPrevRifItem;
    PFN_InsertRifItem InsertRifItem;
    PFN_RemoveRifItem RemoveRifItem;
    PFN_FindFirstRifItem FindFirstRifItem;
    PFN_FindNextRifItem FindNextRifItem;
    PFN_GetRebShapeData GetRebShapeData;
} TESSERAEXPORT84;

/* Adds files and buffers, the light-set and environment readers. */
typedef struct TESSERAEXPORT108 {
    uint32_t dwSize;
    uint32_t dwVersion;
    PFN_LoadRifFile LoadRifFile;
    PFN_SaveRifFile SaveRifFile;
    PFN_LoadRif LoadRif;
    PFN_SaveRif SaveRif;
    PFN_ParseRif ParseRif;
    PFN_CompileRif CompileRif;
    PFN_ReleaseBuffer ReleaseBuffer;
    PFN_CreateRifItem CreateRifItem;
    PFN_DeleteRifItem DeleteRifItem;
    PFN_SetRifItemName SetRifItemName;
    PFN_GetRifItemName GetRifItemName;
    PFN_SetRifItemData SetRifItemData;
    PFN_GetRifItemData GetRifItemData;
    PFN_IsRifItemFolder IsRifItemFolder;
    PFN_GetParentRifItem GetParentRifItem;
    PFN_GetChildRifItem GetChildRifItem;
    PFN_GetNextRifItem GetNextRifItem;
    PFN_GetPrevRifItem GetPrevRifItem;
    PFN_InsertRifItem InsertRifItem;
    PFN_RemoveRifItem RemoveRifItem;
    PFN_FindFirstRifItem FindFirstRifItem;
    PFN_FindNextRifItem FindNextRifItem;
    PFN_GetRebShapeData GetRebShapeData;
    PFN_GetLightSetData GetLightSetData;
    PFN_GetRebEnvData GetRebEnvData;
} TESSERAEXPORT108;

/* Adds the creating and inserting shortcuts. */
typedef struct TESSERAEXPORT124 {
    uint32_t dwSize;
    uint32_t dwVersion;
    PFN_LoadRifFile LoadRifFile;
    PFN_SaveRifFile SaveRifFile;
    PFN_LoadRif LoadRif;
    PFN_SaveRif SaveRif;
    PFN_ParseRif ParseRif;
    PFN_CompileRif CompileRif;
    PFN_ReleaseBuffer ReleaseBuffer;
    PFN_CreateRifItem CreateRifItem;
    PFN_CreateRifItemFolder CreateRifItemFolder;
    PFN_CreateRifItemChild CreateRifItemChild;
    PFN_DeleteRifItem DeleteRifItem;
    PFN_SetRifItemName SetRifItemName;
    PFN_GetRifItemName GetRifItemName;
    PFN_SetRifItemData SetRifItemData;
    PFN_GetRifItemData GetRifItemData;
    PFN_IsRifItemFolder IsRifItemFolder;
    PFN_GetParentRifItem GetParentRifItem;
    PFN_GetChildRifItem GetChildRifItem;
    PFN_GetNextRifItem GetNextRifItem;
    PFN_GetPrevRifItem GetPrevRifItem;
    PFN_InsertRifItem InsertRifItem;
    PFN_InsertRifItemFolder InsertRifItemFolder;
    PFN_InsertRifItemChild InsertRifItemChild;
    PFN_RemoveRifItem RemoveRifItem;
    PFN_FindFirstRifItem FindFirstRifItem;
    PFN_FindNextRifItem FindNextRifItem;
    PFN_GetRebShapeData GetRebShapeData;
    PFN_GetLightSetData GetLightSetData;
    PFN_GetRebEnvData GetRebEnvData;
} TESSERAEXPORT124;

/* The complete form: every operation, the codec included. */
typedef struct TESSERAEXPORT {
    uint32_t dwSize;
    uint32_t dwVersion;
    PFN_LoadRifFile LoadRifFile;
    PFN_SaveRifFile SaveRifFile;
    PFN_LoadRif LoadRif;
    PFN_SaveRif SaveRif;
    PFN_DecompressRif DecompressRif;
    PFN_CompressRif CompressRif;
    PFN_ParseRif ParseRif;
    PFN_CompileRif CompileRif;
    PFN_ReleaseBuffer ReleaseBuffer;
    PFN_CreateRifItem CreateRifItem;
    PFN_CreateRifItemFolder CreateRifItemFolder;
    PFN_CreateRifItemChild CreateRifItemChild;
    PFN_DeleteRifItem DeleteRifItem;
    PFN_SetRifItemName SetRifItemName;
    PFN_GetRifItemName GetRifItemName;
    PFN_SetRifItemData SetRifItemData;
    PFN_GetRifItemData GetRifItemData;
    PFN_IsRifItemFolder IsRifItemFolder;
    PFN_GetParentRifItem GetParentRifItem;
    PFN_GetChildRifItem GetChildRifItem;
    PFN_GetNextRifItem GetNextRifItem;
    PFN_GetPrevRifItem GetPrevRifItem;
    PFN_InsertRifItem InsertRifItem;
    PFN_InsertRifItemFolder InsertRifItemFolder;
    PFN_InsertRifItemChild InsertRifItemChild;
    PFN_RemoveRifItem RemoveRifItem;
    PFN_FindFirstRifItem FindFirstRifItem;
    PFN_FindNextRifItem FindNextRifItem;
    PFN_GetRebShapeData GetRebShapeData;
    PFN_GetLightSetData GetLightSetData;
    PFN_GetRebEnvData GetRebEnvData;
} TESSERAEXPORT;

/* Fills the record whose dwSize names one of the four forms with the version
 * and that form's pointers. Returns 1 when every pointer was filled; 0, with
 * nothing written, for a null record or an unknown dwSize. Each pointer is
 * looked up by its export name in the library's own module; a program that
 * links the static library instead must export the operations itself (link
 * it with -rdynamic), or the pointers stay null and the result is 0. */
TESSERA_API RifBool TESSERA_CALL TesseraInit(void* record);
typedef RifBool(TESSERA_CALL* PFN_TesseraInit)(void*);

#ifdef __cplusplus
} /* extern "C" */
#define TESSERA_STATIC_ASSERT static_assert
#else
#define TESSERA_STATIC_ASSERT _Static_assert
#endif

TESSERA_STATIC_ASSERT(sizeof(TESSERAEXPORT84) == 8 + 19 * sizeof(void*), "84-byte form");
TESSERA_STATIC_ASSERT(sizeof(TESSERAEXPORT108) == 8 + 25 * sizeof(void*), "108-byte form");
TESSERA_STATIC_ASSERT(sizeof(TESSERAEXPORT124) == 8 + 29 * sizeof(void*), "124-byte form");
TESSERA_STATIC_ASSERT(sizeof(TESSERAEXPORT) == 8 + 31 * sizeof(void*), "132-byte form");
/* With 32-bit pointers the forms are exactly the 84, 108, 124 and 132 bytes
 * that 32-bit clients pass as dwSize. */
TESSERA_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(TESSERAEXPORT84) == 84, "84 bytes");
TESSERA_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(TESSERAEXPORT108) == 108, "108 bytes");
TESSERA_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(TESSERAEXPORT124) == 124, "124 bytes");
TESSERA_STATIC_ASSERT(sizeof(void*) != 4 || sizeof(TESSERAEXPORT) == 132, "132 bytes");

#endif /* TESSERA_H */
