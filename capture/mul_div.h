// MulDiv: a x b / c with a 64-bit intermediate, rounded to the nearest integer.
#pragma once

// a x b / c, the product taken at 64 bits, rounded to the nearest integer with exact halves going away from
// zero (for non-negative operands: (a x b + c div 2) div c). Like the system routine it replaces, returns -1
// when c is 0 or the result does not fit 32 bits.
int MulDiv(int a, int b, int c);
