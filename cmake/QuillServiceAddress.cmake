# quill_check_release_service_address(<url> <error variable>): sets the
# variable to why a release build must not carry this package-service
# address, or to "" when it may. A release talks to the real service: an
# address on the user's own machine (127.0.0.0/8, 0.0.0.0/8, localhost,
# [::1]) would send every user's queries nowhere.
#
# Also runs as a script: cmake -DURL=<url> -P QuillServiceAddress.cmake
# prints the reason and fails, so the release command refuses before it
# configures anything.

# The value of one dotted field of an IPv4 address as inet_aton reads it
# (decimal, 0x hexadecimal, or octal with a leading 0), or -1.
function(_quill_ipv4_field text out)
  if(text MATCHES "^0[xX]([0-9a-fA-F]+)$")
    math(EXPR value "0x${CMAKE_MATCH_1}" OUTPUT_FORMAT DECIMAL)
  elseif(text MATCHES "^0([0-7]+)$")
    set(value 0)
    string(LENGTH "${CMAKE_MATCH_1}" digits)
    math(EXPR last "${digits} - 1")
    foreach(i RANGE ${last})
      string(SUBSTRING "${CMAKE_MATCH_1}" ${i} 1 digit)
      math(EXPR value "${value} * 8 + ${digit}")
    endforeach()
  elseif(text MATCHES "^[0-9]+$")
    math(EXPR value "${text}")
  else()
    set(value -1)
  endif()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

function(quill_check_release_service_address url out)
  set(reason "")
  if(NOT url MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://([^/?#]+)$")
    set(reason "not a scheme://host[:port] address with nothing after it")
  else()
    string(TOLOWER "${CMAKE_MATCH_1}" host)
    string(REGEX REPLACE "^.*@" "" host "${host}")
    if(host MATCHES "^(\\[[^]]*\\])")
      set(host "${CMAKE_MATCH_1}")
    else()
      string(REGEX REPLACE ":[0-9]*$" "" host "${host}")
    endif()
    string(REGEX REPLACE "\\.$" "" host "${host}")
    if(host STREQUAL "" )
      set(reason "no host name")
    elseif(host STREQUAL "localhost" OR host MATCHES "\\.localhost$")
      set(reason "${host} is this machine")
    elseif(host MATCHES "^\\[(0*:)*:?0*1\\]$" OR host MATCHES "^\\[::(ffff:)?(127\\.|7f)")
      set(reason "${host} is the IPv6 loopback address")
    elseif(host MATCHES "^[0-9a-fx.]+$" AND host MATCHES "^[0-9]")
      # A numeric IPv4 host in any of the forms Windows and inet_aton accept:
      # 127.0.0.1, 127.1, 0x7f.1, 0177.0.0.1, 2130706433.
      string(REPLACE "." ";" fields "${host}")
      list(GET fields 0 first)
      _quill_ipv4_field("${first}" value)
      list(LENGTH fields count)
      if(count EQUAL 1 AND value GREATER_EQUAL 0)
        math(EXPR value "${value} >> 24")
      endif()
      if(value EQUAL 127 OR value EQUAL 0)
        set(reason "${host} is an address of this machine")
      endif()
    endif()
  endif()
  set(${out} "${reason}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  quill_check_release_service_address("${URL}" reason)
  if(reason)
    message(FATAL_ERROR "a release build refuses the service address '${URL}': ${reason}")
  endif()
endif()
