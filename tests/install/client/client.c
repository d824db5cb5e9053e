/* Binds the installed library by linking it, fills the export record and
 * builds, compiles and reads back a small tree through it. */
#include <tessera.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    TESSERAEXPORT record;
    memset(&record, 0, sizeof record);
    record.dwSize = sizeof record;
    if (!TesseraInit(&record) || record.dwVersion != TESSERA_VERSION) {
        fprintf(stderr, "TesseraInit failed\n");
        return 1;
    }
    RifItem* root = CreateRifItemFolder("REBINFF2");
    RifItem* child = CreateRifItemChild("QELENVIR", "abcd", 4);
    if (root == NULL || child == NULL || !InsertRifItem(child, root, RIF_LAST)) {
        fprintf(stderr, "building the tree failed\n");
        return 1;
    }
    uint32_t size = 0;
    RifItem* found = FindFirstRifItem(root, "QELENVIR");
    const char* data = found != NULL ? (const char*)GetRifItemData(found, &size) : NULL;
    if (data == NULL || size != 4 || memcmp(data, "abcd", 4) != 0) {
        fprintf(stderr, "reading the tree back failed\n");
        return 1;
    }
    DeleteRifItem(root);
    printf("tessera client ok\n");
    return 0;
}
