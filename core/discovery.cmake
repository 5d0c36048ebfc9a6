# Matching phone names folds case and diacritics under Unicode canonical equivalence: ICU does that.
find_package(ICU 70 REQUIRED COMPONENTS uc)
target_link_libraries(velmora_core PRIVATE ICU::uc)
