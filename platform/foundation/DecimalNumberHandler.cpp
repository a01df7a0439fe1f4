#include "platform/foundation/DecimalNumberHandler.h"

namespace ns {

RT_DEFINE_CLASS(DecimalNumberHandler, Object, "NSDecimalNumberHandler")

DecimalNumberHandler::DecimalNumberHandler(RoundingMode roundingMode, int16_t scale, bool raiseOnExactness,
                                           bool raiseOnOverflow, bool raiseOnUnderflow, bool raiseOnDivideByZero)
    : roundingMode_(roundingMode),
      scale_(scale),
      raiseOnExactness_(raiseOnExactness),
      raiseOnOverflow_(raiseOnOverflow),
      raiseOnUnderflow_(raiseOnUnderflow),
      raiseOnDivideByZero_(raiseOnDivideByZero) {}

const Ref<DecimalNumberHandler>& DecimalNumberHandler::defaultDecimalNumberHandler() {
    static const Ref<DecimalNumberHandler> handler = std::make_shared<DecimalNumberHandler>();
    return handler;
}

Ref<DecimalNumberHandler> DecimalNumberHandler::withRoundingMode(RoundingMode roundingMode, int16_t scale,
                                                                 bool raiseOnExactness, bool raiseOnOverflow,
                                                                 bool raiseOnUnderflow, bool raiseOnDivideByZero) {
    return std::make_shared<DecimalNumberHandler>(roundingMode, scale, raiseOnExactness, raiseOnOverflow,
                                                  raiseOnUnderflow, raiseOnDivideByZero);
}

}  // namespace ns
