// Identifiers the cross toolchain's uuid library lacks, with their documented values.
#include <windows.h>
#include <ole2.h>
#include <mshtmhst.h>

extern "C" const IID IID_ICustomDoc = {0x3050f3f0, 0x98b5, 0x11cf,
                                       {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
extern "C" const GUID CGID_MSHTML = {0xde4ba900, 0x59ca, 0x11cf,
                                     {0x95, 0x92, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
