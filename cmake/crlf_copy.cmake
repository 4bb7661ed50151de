# cmake -DIN=FILE -DOUT=FILE -P crlf_copy.cmake
# Copies a text file with CR LF line ends, whatever the checkout gave it.
file(READ "${IN}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
