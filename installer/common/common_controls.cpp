// COMCTL32's image-list functions, looked up by name once the library is loaded.
#include "common/common_controls.h"

#include "common/dll_search.h"

static const char LIBRARY_NAME[] = "comctl32.dll";

typedef HIMAGELIST(WINAPI *ImageListCreateFunction)(int, int, UINT, int, int);
typedef int(WINAPI *ImageListReplaceIconFunction)(HIMAGELIST, int, HICON);

static ImageListCreateFunction imageListCreate;
static ImageListReplaceIconFunction imageListReplaceIcon;

int LoadCommonControls() {
    HMODULE library = loadSystemLibrary(LIBRARY_NAME);
    if (library == NULL)
        return 1;
    imageListCreate =
        (ImageListCreateFunction)(void (*)())GetProcAddress(library, "ImageList_Create");
    imageListReplaceIcon =
        (ImageListReplaceIconFunction)(void (*)())GetProcAddress(library, "ImageList_ReplaceIcon");
    return imageListCreate == NULL || imageListReplaceIcon == NULL;
}

HIMAGELIST commonImageListCreate(int width, int height, UINT flags, int initial, int grow) {
    return imageListCreate != NULL ? imageListCreate(width, height, flags, initial, grow) : NULL;
}

int commonImageListReplaceIcon(HIMAGELIST images, int position, HICON icon) {
    return imageListReplaceIcon != NULL && images != NULL
               ? imageListReplaceIcon(images, position, icon)
               : -1;
}
