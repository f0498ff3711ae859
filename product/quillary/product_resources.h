// Resource ids of the product's programs, shared by their .rc files and their code.
#pragma once

// The product's icon: the lowest id, so that it is icon index 0 of each program file.
#define IDI_QUILLARY 1
// The product's picture, shown when the viewer is started without a document.
#define IDB_PRODUCT_PICTURE 100
