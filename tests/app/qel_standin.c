/* A Windows stand-in for the game: writes the arguments it was given and the
 * folder it was started in to qel-seen.txt in that folder, one per line. */
#include <direct.h>
#include <stdio.h>

int main(int argc, char** argv) {
    char folder[1024];
    if (_getcwd(folder, sizeof folder) == NULL) {
        return 1;
    }
    FILE* seen = fopen("qel-seen.tmp", "wb");
    if (seen == NULL) {
        return 1;
    }
    for (int i = 1; i < argc; ++i) {
        fprintf(seen, "%s\n", argv[i]);
    }
    fprintf(seen, "%s\n", folder);
    fclose(seen);
    /* Whole or not at all, for the test that waits for it. */
    return rename("qel-seen.tmp", "qel-seen.txt") == 0 ? 0 : 1;
}
