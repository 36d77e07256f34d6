#pragma once
// The translation layer's failures: one family under the runtime's Exception.
#include "runtime/uException.h"

RT_EXCEPTION(ETranslation, Exception)
RT_EXCEPTION(ETranslationIOError, ETranslation)
RT_EXCEPTION(ETranslationConvError, ETranslation)
RT_EXCEPTION(ETranslationComponentError, ETranslation)
RT_EXCEPTION(ETranslationProgrammingError, ETranslation)
