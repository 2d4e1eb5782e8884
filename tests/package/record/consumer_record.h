/* The consumer's FLASH_sBITMAP, under a name of its own. */
#include <stdint.h>
typedef const struct consumer_bitmap { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;
