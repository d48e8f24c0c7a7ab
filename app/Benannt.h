#pragma once
// Controls are found by their object name (tests, settings frames): every
// panel names what it creates through this one helper.
#include <QString>

namespace vrd4::app {

template <typename T>
T* benannt(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace vrd4::app
