// The Windows headers as the COM kit and the controls' COM glue see them: the C form of the
// interfaces (CINTERFACE), so an object is a plain struct with one member per interface and one
// static vtable each, and COBJMACROS for calling through them. Include before any other
// Windows header in a translation unit.
#pragma once

#ifndef CINTERFACE
#define CINTERFACE
#endif
#ifndef CONST_VTABLE
#define CONST_VTABLE  // vtables are static const
#endif
#ifndef COBJMACROS
#define COBJMACROS
#endif

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <olectl.h>
#include <objsafe.h>
