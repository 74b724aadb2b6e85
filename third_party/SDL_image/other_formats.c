/* The selector's handheld build of SDL_image loads PNG only, and compiles
   just IMG.c and IMG_png.c. IMG.c still names every format's functions, so
   here they are as SDL_image's own IMG_<format>.c files define them when
   their format is left out: nothing is recognised, nothing is loaded, and
   the formats that need initialising say that they are not supported.
   This file is the selector's, not upstream's. */

#include "SDL_image.h"

int IMG_InitJPG(void) { IMG_SetError("JPEG images are not supported"); return -1; }
void IMG_QuitJPG(void) {}
int IMG_InitTIF(void) { IMG_SetError("TIFF images are not supported"); return -1; }
void IMG_QuitTIF(void) {}
int IMG_InitWEBP(void) { IMG_SetError("WEBP images are not supported"); return -1; }
void IMG_QuitWEBP(void) {}

int IMG_isCUR(SDL_RWops *src) { (void)src; return 0; }
int IMG_isICO(SDL_RWops *src) { (void)src; return 0; }
int IMG_isBMP(SDL_RWops *src) { (void)src; return 0; }
int IMG_isGIF(SDL_RWops *src) { (void)src; return 0; }
int IMG_isJPG(SDL_RWops *src) { (void)src; return 0; }
int IMG_isLBM(SDL_RWops *src) { (void)src; return 0; }
int IMG_isPCX(SDL_RWops *src) { (void)src; return 0; }
int IMG_isPNM(SDL_RWops *src) { (void)src; return 0; }
int IMG_isTIF(SDL_RWops *src) { (void)src; return 0; }
int IMG_isXCF(SDL_RWops *src) { (void)src; return 0; }
int IMG_isXPM(SDL_RWops *src) { (void)src; return 0; }
int IMG_isXV(SDL_RWops *src) { (void)src; return 0; }
int IMG_isWEBP(SDL_RWops *src) { (void)src; return 0; }

SDL_Surface *IMG_LoadTGA_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadCUR_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadICO_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadBMP_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadGIF_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadJPG_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadLBM_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadPCX_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadPNM_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadTIF_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadXCF_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadXPM_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadXV_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_LoadWEBP_RW(SDL_RWops *src) { (void)src; return NULL; }
SDL_Surface *IMG_ReadXPMFromArray(char **xpm) { (void)xpm; return NULL; }
