#pragma once
// The status list speaks German: what the broker answered to a connect, and
// why a connection or a library call failed, in our own words instead of
// libmosquitto's English texts. Std only.
#include <string>

namespace vrd4::halle {

// The broker's answer to a connect (CONNACK code; 0: accepted).
std::string verweigerungsText(int connack);
// A libmosquitto error code (MOSQ_ERR_*), e.g. why the connection went;
// 0 is a disconnect of our own ("getrennt").
std::string fehlerText(int mosqErr);

}  // namespace vrd4::halle
