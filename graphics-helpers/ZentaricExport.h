// Symbol visibility of the ZentaricCrossCore shared library: only what is marked here is exported.
#pragma once

#include <QtGlobal>

#if defined(ZENTARIC_CROSSCORE_BUILD)
#define ZENTARIC_EXPORT Q_DECL_EXPORT
#else
#define ZENTARIC_EXPORT Q_DECL_IMPORT
#endif
