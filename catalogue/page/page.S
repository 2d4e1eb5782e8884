/* The catalogue page as built into the program: the two halves that
 * embed.cmake writes (the build names them PAGE_HEAD and PAGE_TAIL), each
 * with its length, as page.h declares them. */
#ifndef __USER_LABEL_PREFIX__
#define __USER_LABEL_PREFIX__
#endif
#define PAGE_GLUE2(a, b) a##b
#define PAGE_GLUE(a, b) PAGE_GLUE2(a, b)
#define SYMBOL(name) PAGE_GLUE(__USER_LABEL_PREFIX__, name)

#if __SIZEOF_SIZE_T__ == 8
#define SIZE_T .quad
#else
#define SIZE_T .long
#endif

#if defined(_WIN32) || defined(__CYGWIN__)
  .section .rdata,"dr"
#else
  .section .rodata
#endif

  .globl SYMBOL(kPageHead)
SYMBOL(kPageHead):
  .incbin PAGE_HEAD
.Lhead_end:
  .globl SYMBOL(kPageTail)
SYMBOL(kPageTail):
  .incbin PAGE_TAIL
.Ltail_end:

  .balign __SIZEOF_SIZE_T__
  .globl SYMBOL(kPageHeadSize)
SYMBOL(kPageHeadSize):
  SIZE_T .Lhead_end - SYMBOL(kPageHead)
  .globl SYMBOL(kPageTailSize)
SYMBOL(kPageTailSize):
  SIZE_T .Ltail_end - SYMBOL(kPageTail)

#if !defined(_WIN32) && !defined(__CYGWIN__)
  .type SYMBOL(kPageHead), %object
  .size SYMBOL(kPageHead), .Lhead_end - SYMBOL(kPageHead)
  .type SYMBOL(kPageTail), %object
  .size SYMBOL(kPageTail), .Ltail_end - SYMBOL(kPageTail)
  .type SYMBOL(kPageHeadSize), %object
  .size SYMBOL(kPageHeadSize), __SIZEOF_SIZE_T__
  .type SYMBOL(kPageTailSize), %object
  .size SYMBOL(kPageTailSize), __SIZEOF_SIZE_T__
  .section .note.GNU-stack,"",%progbits
#endif
