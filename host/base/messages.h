// The host's own messages in the user's language, through gettext (text domain "wertowik"): Polish
// when the locale is Polish, English otherwise.
#pragma once

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>

namespace wertowik {

// Reads the locale of messages from the environment and finds the catalogues of messages: in
// share/locale beside the program's folder once installed, in locale/ of the build tree.
void SetUpMessages();

// The message in the user's language (the text itself when it has no translation).
const char* Tr(const char* message);

// Marks a message that is translated later, where it is shown (the message itself).
constexpr const char* N_(const char* message) { return message; }

// The pattern with {1}, {2}, ... replaced by the arguments of those numbers, so that a translation
// may put them in another order; "{{" stands for "{". A number without an argument stays as it is.
std::string Substitute(std::string_view pattern, std::initializer_list<std::string_view> arguments);

namespace message_detail {
inline std::string_view Argument(std::string_view text) { return text; }
inline std::string Argument(std::integral auto number) { return std::to_string(number); }
}  // namespace message_detail

// The message, in the user's language, with its arguments (texts or numbers) put in its places.
template <typename... Arguments>
std::string Say(const char* message, const Arguments&... arguments) {
    const auto substitute = [&](const auto&... texts) { return Substitute(Tr(message), {std::string_view(texts)...}); };
    return substitute(message_detail::Argument(arguments)...);
}

// The form of the message that goes with the count, in the user's language.
const char* TrCount(const char* one, const char* many, unsigned long count);

// As Say, for a message whose form follows a count (one program, two programs, five programs in
// Polish): the count is argument {1}.
template <typename... Arguments>
std::string SayCount(const char* one, const char* many, unsigned long count, const Arguments&... arguments) {
    const std::string number = std::to_string(count);
    const auto substitute = [&](const auto&... texts) {
        return Substitute(TrCount(one, many, count), {std::string_view(number), std::string_view(texts)...});
    };
    return substitute(message_detail::Argument(arguments)...);
}

}  // namespace wertowik
