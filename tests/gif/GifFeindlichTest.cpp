// Hostile files: each gives a defined result within bounded memory and time.
#include <gtest/gtest.h>

#include "GifSchreiber.h"
#include "GifTestHilfe.h"

namespace vrd4::gif::test {
namespace {

}  // namespace
}  // namespace vrd4::gif::test
