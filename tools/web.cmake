# vexl web: a static site with the browser player (built in web/) and a demo.
target_sources(vexl PRIVATE vexl/cmd_web.cpp)
target_link_libraries(vexl PRIVATE vexl_web_page vexl_pack)
