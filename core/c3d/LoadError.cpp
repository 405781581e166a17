#include "core/Messages.h"
#include "core/c3d/C3d.h"

const char* LoadErrorText(C3dLoadError e) {
  switch (e) {
    case C3dLoadError::None:
      return Messages::kLoadNoError;
    case C3dLoadError::CannotOpen:
      return Messages::kLoadCannotOpen;
    case C3dLoadError::NotC3d:
      return Messages::kLoadNotC3d;
    case C3dLoadError::UnknownProcessor:
      return Messages::kLoadUnknownProcessor;
    case C3dLoadError::ParamBlockOne:
      return Messages::kLoadParamBlockOne;
    case C3dLoadError::ParameterWalkLoop:
      return Messages::kLoadParameterWalkLoop;
    case C3dLoadError::ParameterTooLarge:
      return Messages::kLoadParameterTooLarge;
    case C3dLoadError::NotEnoughMemory:
      return Messages::kNotEnoughMemory;
    case C3dLoadError::ReadError:
      return Messages::kLoadReadError;
    case C3dLoadError::Shrank:
      return Messages::kLoadShrank;
  }
  return Messages::kLoadUnknownError;
}
