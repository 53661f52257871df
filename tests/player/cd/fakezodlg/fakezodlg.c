/* A stand-in for the CD-database exports of zodlg with scripted answers:
 *   ZODLG_TEST_RESULT   what InitCDDB2 answers (default 0)
 *   ZODLG_TEST_ARTIST, ZODLG_TEST_ALBUM, ZODLG_TEST_TRACKS (titles joined by "|")
 *   ZODLG_TEST_LOG      a file each call appends one line to:
 *                       "<export> <track or -> <null|buffer>" and "InitCDDB2 <id> <query>"
 * Built without GetTrackTitle (FAKE_NO_TRACKS) or InitCDDB2 (FAKE_NO_INIT)
 * for the missing-export cases. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static void Log(const char* name, long track, const char* buffer)
{
    const char* path = getenv("ZODLG_TEST_LOG");
    if (!path) return;
    FILE* f = fopen(path, "a");
    if (!f) return;
    if (track < 0)
        fprintf(f, "%s - %s\n", name, buffer ? "buffer" : "null");
    else
        fprintf(f, "%s %ld %s\n", name, track, buffer ? "buffer" : "null");
    fclose(f);
}

static int Answer(const char* text, char* buffer)
{
    int length = text ? (int)strlen(text) : 0;
    if (buffer && length > 0) memcpy(buffer, text, (size_t)length + 1);
    return length;
}

#ifndef FAKE_NO_INIT
EXPORT int InitCDDB2(uint32_t discId, const char* query)
{
    const char* path = getenv("ZODLG_TEST_LOG");
    if (path) {
        FILE* f = fopen(path, "a");
        if (f) {
            fprintf(f, "InitCDDB2 %08x %s\n", discId, query ? query : "(null)");
            fclose(f);
        }
    }
    const char* result = getenv("ZODLG_TEST_RESULT");
    return result ? atoi(result) : 0;
}
#endif

EXPORT int GetAlbumArtist(char* buffer)
{
    Log("GetAlbumArtist", -1, buffer);
    return Answer(getenv("ZODLG_TEST_ARTIST"), buffer);
}

EXPORT int GetAlbumTitle(char* buffer)
{
    Log("GetAlbumTitle", -1, buffer);
    return Answer(getenv("ZODLG_TEST_ALBUM"), buffer);
}

#ifndef FAKE_NO_TRACKS
EXPORT int GetTrackTitle(uint32_t track, char* buffer)
{
    Log("GetTrackTitle", (long)track, buffer);
    const char* all = getenv("ZODLG_TEST_TRACKS");
    if (!all || track < 1) return 0;
    /* The track's piece of the "|"-joined list. */
    const char* start = all;
    for (uint32_t i = 1; i < track; ++i) {
        start = strchr(start, '|');
        if (!start) return 0;
        ++start;
    }
    const char* end = strchr(start, '|');
    size_t length = end ? (size_t)(end - start) : strlen(start);
    if (buffer && length > 0) {
        memcpy(buffer, start, length);
        buffer[length] = '\0';
    }
    return (int)length;
}
#endif
