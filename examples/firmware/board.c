/* The example's board: QEMU's mps2-an385 machine (a Cortex-M3, which runs
 * a Cortex-M0+'s code; memory: mps2_an385.ld), standing in for a product's
 * board. The external flash chip is the machine's PSRAM, which QEMU's loader
 * fills with the flash image and flash_read copies from, as a memory-mapped
 * read of the chip would; the display is a framebuffer in RAM. Results go to
 * the host by semihosting (QEMU's -semihosting, run-qemu.sh):
 *
 *   boot check: ok, 123 instructions
 *   full check: ok, 45678901 instructions
 *   drawn: 279 bitmaps
 *
 * and, when both checks pass, every bitmap of the tables drawn by the
 * example's draw, each as the framebuffer's bytes (RGB565, high byte
 * first), one after another in the tables' order, into the host's file
 * drawn.bin. The exit status is 0 when both checks pass and the drawing is
 * written, 1 otherwise.
 *
 * Instructions are counted by SysTick on QEMU's virtual clock, which under
 * -icount shift=6 advances 64 ns an instruction; SysTick counts the machine's
 * 25 MHz clock, 40 ns a tick. */
#include <stdint.h>
#include <string.h>

#include "example.h"

/* Every table flash_tables.h declares, in the tables' order. */
#define TABLE(name) {flash_##name, sizeof flash_##name / sizeof flash_##name[0]}
static const struct {
  const FLASH_sBITMAP *entries;
  uint32_t count;
} tables[] = {TABLE(bolt),     TABLE(emblem),       TABLE(capitals),    TABLE(lock),
              TABLE(charging), TABLE(no_cartridge), TABLE(digits_warm), TABLE(startup),
              TABLE(smoke),    TABLE(timeout),      TABLE(digits_cool)};

extern uint32_t __data_start, __data_end, __data_load, __bss_start, __bss_end, __stack_top;
extern const uint8_t __external_flash[];
extern const uint8_t __external_flash_size[];

/* --- semihosting ------------------------------------------------------- */

enum { SYS_OPEN = 0x01, SYS_CLOSE = 0x02, SYS_WRITE0 = 0x04, SYS_WRITE = 0x05, SYS_EXIT = 0x18 };
enum { ApplicationExit = 0x20026, RunTimeErrorUnknown = 0x20023 };

static int semihost(int operation, const void *argument) {
  int result;
  __asm__ volatile("mov r0, %1\n\tmov r1, %2\n\tbkpt 0xab\n\tmov %0, r0"
                   : "=r"(result)
                   : "r"(operation), "r"(argument)
                   : "r0", "r1", "memory");
  return result;
}

static void say(const char *text) { semihost(SYS_WRITE0, text); }

static void say_number(uint32_t n) {
  char text[11];
  char *p = text + sizeof text - 1;
  *p = 0;
  do *--p = (char)('0' + n % 10u);
  while (n /= 10u);
  say(p);
}

static void finish(int ok) {
  semihost(SYS_EXIT, (const void *)(uintptr_t)(ok ? ApplicationExit : RunTimeErrorUnknown));
  for (;;) {
  }
}

/* --- the instruction counter ------------------------------------------- */

#define SYST_CSR (*(volatile uint32_t *)0xE000E010u)
#define SYST_RVR (*(volatile uint32_t *)0xE000E014u)
#define SYST_CVR (*(volatile uint32_t *)0xE000E018u)

static volatile uint32_t systick_wraps;

static void systick_handler(void) { systick_wraps = systick_wraps + 1u; }

static uint64_t ticks(void) {
  uint32_t wraps, value;
  do {
    wraps = systick_wraps;
    value = SYST_CVR;
  } while (wraps != systick_wraps);
  return (uint64_t)wraps << 24 | (0xFFFFFFu - value);
}

static uint32_t instructions_since(uint64_t start) { return (uint32_t)((ticks() - start) * 40u / 64u); }

/* --- the board's routines for the example ------------------------------- */

void flash_read(uint32_t offset, uint8_t *data, uint32_t length) {
  if (offset > (uint32_t)(uintptr_t)__external_flash_size ||
      length > (uint32_t)(uintptr_t)__external_flash_size - offset) {
    say("flash_read: beyond the external flash\n");
    finish(0);
  }
  memcpy(data, __external_flash + offset, length);
}

static uint8_t framebuffer[80 * 160 * 2];
static uint32_t framebuffer_size, framebuffer_used;

void lcd_window(unsigned x, unsigned y, unsigned width, unsigned height) {
  (void)x;
  (void)y;
  framebuffer_size = 2u * width * height;
  framebuffer_used = 0;
  if (framebuffer_size > sizeof framebuffer) {
    say("lcd_window: larger than the framebuffer\n");
    finish(0);
  }
}

void lcd_pixel(uint16_t rgb565) {
  if (framebuffer_used >= framebuffer_size) {
    say("lcd_pixel: outside the window\n");
    finish(0);
  }
  framebuffer[framebuffer_used++] = (uint8_t)(rgb565 >> 8);
  framebuffer[framebuffer_used++] = (uint8_t)rgb565;
}

/* Draws every entry of one table, sending each framebuffer to the host. */
static uint32_t draw_table(int file, const FLASH_sBITMAP *table, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    draw(&table[i], 0, 0);
    const uint32_t request[3] = {(uint32_t)file, (uint32_t)(uintptr_t)framebuffer, framebuffer_used};
    if (framebuffer_used != framebuffer_size) {
      say("draw: fewer pixels than the window\n");
      finish(0);
    }
    if (semihost(SYS_WRITE, request) != 0) {
      say("drawn.bin: cannot write\n");
      finish(0);
    }
  }
  return count;
}

static int main_program(void) {
  SYST_RVR = 0xFFFFFFu;
  SYST_CVR = 0;
  SYST_CSR = 7; /* the processor's clock, the wrap interrupt, on */

  uint64_t start = ticks();
  const uint32_t overhead = instructions_since(start);
  start = ticks();
  const int boot_ok = flash_image_ok();
  const uint32_t boot = instructions_since(start) - overhead;
  start = ticks();
  const int full_ok = flash_image_intact();
  const uint32_t full = instructions_since(start) - overhead;

  say(boot_ok ? "boot check: ok, " : "boot check: fails, ");
  say_number(boot);
  say(" instructions\n");
  say(full_ok ? "full check: ok, " : "full check: fails, ");
  say_number(full);
  say(" instructions\n");
  if (!boot_ok || !full_ok) return 0;

  const uint32_t open_request[3] = {(uint32_t)(uintptr_t) "drawn.bin", 5 /* "wb" */, 9};
  const int file = semihost(SYS_OPEN, open_request);
  if (file == -1) {
    say("drawn.bin: cannot open\n");
    return 0;
  }
  uint32_t drawn = 0;
  for (size_t i = 0; i < sizeof tables / sizeof tables[0]; ++i)
    drawn += draw_table(file, tables[i].entries, tables[i].count);
  const uint32_t close_request[1] = {(uint32_t)file};
  if (semihost(SYS_CLOSE, close_request) != 0) return 0;
  say("drawn: ");
  say_number(drawn);
  say(" bitmaps\n");
  return 1;
}

/* --- start-up ---------------------------------------------------------- */

#ifdef __cplusplus
extern "C" /* the linker script's entry point, by its C name */
#endif
    void
    Reset_Handler(void);

void Reset_Handler(void) {
  const uint32_t *from = &__data_load;
  for (uint32_t *to = &__data_start; to < &__data_end;) *to++ = *from++;
  for (uint32_t *to = &__bss_start; to < &__bss_end;) *to++ = 0;
  finish(main_program());
}

static void fault_handler(void) {
  say("fault\n");
  finish(0);
}

/* The initial stack pointer, then the handlers from Reset to SysTick. */
struct vector_table {
  const uint32_t *stack_top;
  void (*handler[15])(void);
};

__attribute__((section(".vectors"), used)) static const struct vector_table vectors = {
    &__stack_top,
    {Reset_Handler, fault_handler, fault_handler, fault_handler, fault_handler, fault_handler, 0, 0, 0, 0,
     fault_handler, fault_handler, 0, fault_handler, systick_handler}};
