! Oracle for the formatted and list-directed writer: prints what gfortran's
! own WRITE gives for the cases kept in platform/tests/fortran_format_test.cpp.
!
! Regenerate:
!   gfortran -o /tmp/format_oracle platform/tests/oracle/format_oracle.f90
!   /tmp/format_oracle > /tmp/format_oracle.out
! Section "edit" prints one C++ table row per case, {descriptor, value,
! expected field}, as many to a line as fit in 118 columns, ready to
! paste into the kEditCases / kIntCases / kTextCases / kLogicalCases
! tables. The other sections print, between
! "@@ name" lines, the records of one WRITE or PRINT each; the test keeps
! them as expected strings (one '\n' per record).
program format_oracle
  implicit none
  real(8) :: zero, inf, nan, tiny_sub
  integer :: line_len = 0

  zero = 0d0
  inf = 1d0 / zero
  nan = zero / zero
  tiny_sub = nearest(0d0, 1d0)

  print '(A)', '@@ edit'
  ! The required examples.
  call r('G23.14', '1.5', 1.5d0)
  call r('G23.14', '5e-5', 5d-5)
  call r('G23.14', '0.09999999999999999', 0.09999999999999999d0)
  call r('G24.16E3', '4.6', 4.6d0)
  call r('G24.16E3', '1e16', 1d16)
  call r('E24.16E3', '1.5', 1.5d0)
  call r('F11.6', '12345.5', 12345.5d0)
  call r('G10.3', '1e5', 1d5)
  call r('G10.3', '0.0', 0d0)
  ! F: rounding (ties to even on the exact binary value), carries, the
  ! optional leading zero, negative zero, overflow.
  call r('F4.2', '0.5', 0.5d0)
  call r('F3.2', '0.5', 0.5d0)
  call r('F5.2', '-0.001', -0.001d0)
  call r('F3.2', '-0.001', -0.001d0)
  call r('F5.0', '0.4', 0.4d0)
  call r('F5.0', '2.5', 2.5d0)
  call r('F5.0', '3.5', 3.5d0)
  call r('F5.1', '0.25', 0.25d0)
  call r('F5.1', '0.35', 0.35d0)
  call r('F5.1', '9.96', 9.96d0)
  call r('F4.1', '9.96', 9.96d0)
  call r('F12.6', '-1234567.8', -1234567.8d0)
  call r('F30.20', '0.1', 0.1d0)
  call r('F8.3', '1e-310', 1d-310)
  call r('F25.1', '1e23', 1d23)
  ! E: 0.d...dE+xx, carries, three-digit exponents, Ee.
  call r('E9.3', '1.5', 1.5d0)
  call r('E8.3', '1.5', 1.5d0)
  call r('E8.3', '-1.5', -1.5d0)
  call r('E10.3', '9.9995', 9.9995d0)
  call r('E10.2', '0.125', 0.125d0)
  call r('E10.3', '1e100', 1d100)
  call r('E10.3', '1e-100', 1d-100)
  call r('E10.3', '0.0', 0d0)
  call r('E10.3E1', '1e5', 1d5)
  call r('E10.3E1', '1e15', 1d15)
  call r('E10.3', 'kMinSub', tiny_sub)
  ! G: fixed form with trailing blanks inside the rounding-aware range,
  ! exponent form outside, zero in fixed form.
  call r('G10.3', '-0.0', -0d0)
  call r('G10.3', '9.9996', 9.9996d0)
  call r('G10.3', '99.95', 99.95d0)
  call r('G10.3', '999.6', 999.6d0)
  call r('G10.3', '0.09996', 0.09996d0)
  call r('G10.3', '0.09995', 0.09995d0)
  call r('G10.3', 'std::nextafter(0.09995, 1.0)', nearest(0.09995d0, 1d0))
  call r('G14.8', '99999999.0', 99999999d0)
  call r('G14.8', '99999999.6', 99999999.6d0)
  call r('G14.8', '-0.0123456789', -0.0123456789d0)
  call r('G11.4', '-1234.5', -1234.5d0)
  call r('G12.3E3', '1e5', 1d5)
  call r('G5.3', '1.0', 1d0)
  call r('G8.3', '-1.0', -1d0)
  ! ES and the scale factor.
  call r('ES10.3', '1.5e5', 1.5d5)
  call r('ES10.3', '-9.9996', -9.9996d0)
  call r('1PE10.3', '1.5', 1.5d0)
  call r('2PE10.3', '1.5', 1.5d0)
  call r('-1PE10.3', '1.5', 1.5d0)
  call r('1PF10.3', '1.5', 1.5d0)
  call r('-4PF10.1', '1500.0', 1500d0)
  call r('1PG10.3', '1.5', 1.5d0)
  ! Infinity and NaN.
  call r('F8.3', 'kNaN', nan)
  call r('F8.3', 'kInf', inf)
  call r('F8.3', '-kInf', -inf)
  call r('F3.0', 'kInf', inf)
  call r('F3.0', '-kInf', -inf)
  call r('F2.0', 'kNaN', nan)
  call r('G12.3', '-kInf', -inf)
  call end_rows()
  ! I.
  call i('I8', '12345', 12345_8)
  call i('I4', '12345', 12345_8)
  call i('I4', '-1000', -1000_8)
  call i('I3.0', '0', 0_8)
  call i('I5.3', '-7', -7_8)
  call i('I3.3', '-7', -7_8)
  call i('I20', 'int64_t{-9223372036854775807} - 1', -huge(1_8) - 1_8)
  call end_rows()
  ! A and L.
  call a('A3', 'abcdef')
  call a('A8', 'abc')
  call a('A', 'abc  ')
  call end_rows()
  call l('L1', 'LTRUE', .true.)
  call l('L3', 'LFALSE', .false.)
  call end_rows()

  print '(A)', '@@ reversion'
  write (*, '("[",I4,"]")') 1, 2, 3
  print '(A)', '@@ reversion-group'
  write (*, '("[",I4,"]",2("<",I2,">"))') 1, 2, 3, 4, 5, 6
  print '(A)', '@@ reversion-last-group'
  write (*, '("a",(I2,"b"),2("c",I2,"d"),"e")') 1, 2, 3, 4, 5, 6, 7, 8
  print '(A)', '@@ stop-at-data'
  write (*, '("a",I2,"b",I2,"c")') 1
  print '(A)', '@@ colon'
  write (*, '("a",I2,:,"b",I2,"c")') 1
  print '(A)', '@@ slash-count'
  write (*, '(2/,"x",/"y"/)')
  print '(A)', '@@ empty'
  write (*, '()')
  print '(A)', '@@ repeat'
  write (*, '(3I3,2(1X,F4.1))') 1, 2, 3, 1.5d0, -2.5d0
  print '(A)', '@@ trailing-x'
  write (*, '(A,5X)') 'x'
  print '(A)', '@@ tabs'
  write (*, '(A,T10,A,T3,A,TL2,A)') 'abcdef', 'X', 'Y', 'Z'
  print '(A)', '@@ tab-left-past-start'
  write (*, '(A,TL20,A,TR2,A)') 'abcdef', 'Q', 'R'
  print '(A)', '@@ complex-reversion'
  write (*, '(F5.1)') (1.25d0, -2.5d0)
  print '(A)', '@@ scale-persists'
  write (*, '(1PE10.3,E10.3,0PE10.3)') 1.5d0, 1.5d0, 1.5d0
  print '(A)', '@@ scale-reversion'
  write (*, '(E10.3,1P,E10.3)') 1.5d0, 1.5d0, 1.5d0, 1.5d0
  print '(A)', '@@ message'
  write (*, '(/, " **** YOU HAVE OVER ", I4, " NODES IN SUBSYSTEM ", I3, "! ****")') 12345, 2
  print '(A)', '@@ quotes'
  write (*, '(''it''''s'', 1X, "say ""hi""")')
  print '(A)', '@@ lower-case'
  write (*, '(i3, 1x, f5.2, 1x, es9.2, 1x, g9.3, 1x, a2, 1x, l2)') 7, 1.25d0, 1.5d0, 2d0, 'xyz', .true.
  print '(A)', '@@ blanks'
  write (*, '( I 3 , F 6 . 2 )') 12, 3.25d0

  print '(A)', '@@ list-texts'
  print *, 'a', 'b'
  print '(A)', '@@ list-int'
  print *, 1, 2, -2147483647 - 1
  print '(A)', '@@ list-text-int'
  print *, 'a', 1, 'b'
  print '(A)', '@@ list-real'
  print *, 1.5d0, -1.5d0, 0d0, -0d0
  print '(A)', '@@ list-real-forms'
  print *, 1d-5, 1d5, 1d15, 1d16, 1d17, 0.1d0, 0.099d0
  print '(A)', '@@ list-real-extremes'
  print *, 1d100, 1d-100, 1d-310, huge(1d0), tiny(1d0)
  print '(A)', '@@ list-real-special'
  print *, inf, -inf, nan
  print '(A)', '@@ list-text-logical'
  print *, 'a', .true., 'b', 1, .false.
  print '(A)', '@@ list-text-complex'
  print *, 'a', (1d0, -2d0), 'b'
  print '(A)', '@@ list-complex-special'
  print *, 1, cmplx(inf, nan, 8), cmplx(-inf, 0.5d0, 8)
  print '(A)', '@@ list-warning'
  print *, 'WARNING: HOLVA aborted ZARIK on run', 2, ' of', 5
  print '(A)', '@@ list-empty'
  print *
  print '(A)', '@@ list-empty-text'
  print *, ''
  print '(A)', '@@ end'

contains

  subroutine r(desc, ctext, x)
    character(len=*), intent(in) :: desc, ctext
    real(8), intent(in) :: x
    character(len=200) :: field
    write (field, '(' // desc // ')') x
    call row(desc, ctext, field(1:width(desc)))
  end subroutine

  subroutine i(desc, ctext, n)
    character(len=*), intent(in) :: desc, ctext
    integer(8), intent(in) :: n
    character(len=200) :: field
    write (field, '(' // desc // ')') n
    call row(desc, ctext, field(1:width(desc)))
  end subroutine

  subroutine a(desc, text)
    character(len=*), intent(in) :: desc, text
    character(len=200) :: field
    integer :: w
    write (field, '(' // desc // ')') text
    w = width(desc)
    if (w == 0) w = len(text)
    call row(desc, '"' // text // '"', field(1:w))
  end subroutine

  subroutine l(desc, ctext, v)
    character(len=*), intent(in) :: desc, ctext
    logical, intent(in) :: v
    character(len=200) :: field
    write (field, '(' // desc // ')') v
    call row(desc, ctext, field(1:width(desc)))
  end subroutine

  subroutine row(desc, ctext, field)
    character(len=*), intent(in) :: desc, ctext, field
    character(len=:), allocatable :: one
    one = '{"' // desc // '", ' // ctext // ', "' // field // '"},'
    if (line_len > 0 .and. line_len + 1 + len(one) > 118) call end_rows()
    if (line_len == 0) then
      write (*, '(A)', advance='no') '    ' // one
      line_len = 4 + len(one)
    else
      write (*, '(A)', advance='no') ' ' // one
      line_len = line_len + 1 + len(one)
    end if
  end subroutine

  subroutine end_rows()
    if (line_len > 0) write (*, '(A)') ''
    line_len = 0
  end subroutine

  ! The field width of a descriptor: the number after the letters (and
  ! after a scale factor), 0 when there is none.
  integer function width(desc)
    character(len=*), intent(in) :: desc
    integer :: p, q
    p = scan(desc, 'IFEGALifegal', back=.false.)
    if (index(desc, 'P') > 0) p = index(desc, 'P') + 1
    do while (p <= len(desc))
      if (verify(desc(p:p), '0123456789') == 0) exit
      p = p + 1
    end do
    q = p
    do while (q <= len(desc))
      if (verify(desc(q:q), '0123456789') /= 0) exit
      q = q + 1
    end do
    width = 0
    if (q > p) read (desc(p:q-1), *) width
  end function

end program
