// Results too large for any Integer, refused before any work is done.
#pragma once

#include "integer/integer.h"

namespace VELD {

// Throws NOT_ENOUGH_MEMORY when |base|^exponent surely needs more bits than an Integer can
// hold; results that might fit are let through.
void refuseImpossiblePower(const Integer& base, const Integer& exponent);

// Throws NOT_ENOUGH_MEMORY when n! surely needs more bits than an Integer can hold.
void refuseImpossibleFactorial(const Integer& n);
// Throws NOT_ENOUGH_MEMORY when the product `count` factors from `first` on, as choose
// forms it, surely needs more bits than an Integer can hold.
void refuseImpossibleRange(const Integer& first, const Integer& count);

}  // namespace VELD
