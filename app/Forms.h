#pragma once
// The window registry: every window class and its process-wide instance,
// declared only. A window that drives another window's controls includes
// that window's header.
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm11;
class TForm12;
class TForm13;
class TForm14;
class TForm15;
class TForm16;
class TForm17;

extern TForm1 *Form1;
extern TForm2 *Form2;
extern TForm3 *Form3;
extern TForm4 *Form4;
extern TForm5 *Form5;
extern TForm6 *Form6;
extern TForm7 *Form7;
extern TForm8 *Form8;
extern TForm9 *Form9;
extern TForm10 *Form10;
extern TForm11 *Form11;
extern TForm12 *Form12;
extern TForm13 *Form13;
extern TForm14 *Form14;
extern TForm15 *Form15;
extern TForm16 *Form16;
extern TForm17 *Form17;
