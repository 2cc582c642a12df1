cmake_minimum_required(VERSION 3.20)
# Every way of naming the user's own machine is refused; real service
# addresses, and hosts that only look like loopback, are not.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/QuillServiceAddress.cmake)

set(refused
    http://127.0.0.1:18080 http://127.1 http://127.255.255.254 http://2130706433 http://0x7f.1
    http://0177.0.0.1 http://0.0.0.0 http://LOCALHOST http://localhost:80 http://localhost.
    http://api.localhost http://user@127.0.0.2 "http://[::1]:8080" "http://[0:0:0:0:0:0:0:1]"
    "http://[::ffff:127.0.0.1]" https://localhost
    # not a bare service address at all
    http://adp.travik.com/ http://adp.travik.com/adpserver ftp://adp.travik.com adp.travik.com "")
set(accepted
    http://adp.travik.com https://adp.travik.com:8443 http://packages.test http://128.0.0.1
    http://1270.0.0.1 http://127.example.com http://localhostx.com "http://[2001:db8::1]")

set(wrong 0)
foreach(url IN LISTS refused)
  quill_check_release_service_address("${url}" reason)
  if(NOT reason)
    message(SEND_ERROR "accepted '${url}'")
    math(EXPR wrong "${wrong} + 1")
  endif()
endforeach()
foreach(url IN LISTS accepted)
  quill_check_release_service_address("${url}" reason)
  if(reason)
    message(SEND_ERROR "refused '${url}': ${reason}")
    math(EXPR wrong "${wrong} + 1")
  endif()
endforeach()
list(LENGTH refused refused_count)
list(LENGTH accepted accepted_count)
message("${refused_count} refused and ${accepted_count} accepted addresses, ${wrong} judged wrong")
