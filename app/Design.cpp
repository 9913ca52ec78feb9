#include "app/Design.h"

#include <stdexcept>
#include <string>

namespace design {

const TControl& Control(std::string_view name) {
    for (const TControl& control : kControls)
        if (control.Name == name)
            return control;
    throw std::out_of_range("no control named " + std::string(name) + " in the window design");
}

} // namespace design
