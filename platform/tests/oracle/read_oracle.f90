! Oracle for the list-directed reader and the text units: runs the cases of
! a case file through gfortran's own READ, BACKSPACE and REWIND and prints
! the case file again with each case's result. See read_oracle.md beside
! this file.
!
! A line "## NAME" starts the group NAME; "#" lines are comments.
! Case line:  K OPS |INPUT| => RESULT   (the result is what this program
! writes; a case file without results is read the same way)
!   K = T: every op is one list-directed READ of INPUT as an internal file.
!   K = U: INPUT is written byte for byte to a file, opened as a unit; the
!          ops run in turn on it: a signature = one list-directed READ,
!          L = read one record, B = BACKSPACE, W = REWIND.
!   OPS are separated by ';'. A signature is one letter per item:
!   i integer(4), r real(8), z complex(8), l logical, a character(len=12);
!   0 is a READ with an empty list.
!   INPUT and RESULT use C escapes: \n \r \t \" \\.
!   RESULT: the outcome of each op, joined by " | ": a read gives its
!   status (Ok, End, Error) and every item, preset or read.
program read_oracle
  implicit none
  integer, parameter :: maxn = 4000
  character(len=maxn) :: cl, data
  character(len=:), allocatable :: raw, ops, res, one
  integer :: ios, p1, p2, n, q, k
  character(len=1) :: kind

  do
    read (*, '(A)', iostat=ios) cl
    if (ios /= 0) exit
    if (len_trim(cl) == 0 .or. cl(1:1) == '#') then
      write (*, '(A)') trim(cl)
      cycle
    end if
    kind = cl(1:1)
    p1 = index(cl, '|')
    p2 = index(cl, '| => ')
    if (p2 == 0) p2 = index(cl, '|', back=.true.)
    ops = trim(adjustl(cl(2:p1-1)))
    raw = cl(p1+1:p2-1)
    call unescape(raw, data, n)
    res = ''
    if (kind == 'U') then
      open (20, file='oracle_tmp.txt', access='stream', form='unformatted', status='replace')
      write (20) data(1:n)
      close (20)
      open (10, file='oracle_tmp.txt', status='old', action='read')
    end if
    q = 1
    do
      k = index(ops(q:), ';')
      if (k == 0) then
        k = len(ops) + 1
      else
        k = q + k - 1
      end if
      if (kind == 'T') then
        call do_read(ops(q:k-1), .true., data(1:n), one)
      else
        call do_unit_op(ops(q:k-1), one)
      end if
      if (len(res) > 0) res = res // ' | '
      res = res // one
      q = k + 1
      if (q > len(ops)) exit
    end do
    if (kind == 'U') close (10, status='delete')
    write (*, '(7A)') kind, ' ', ops, ' |', raw, '| => ', c_escape(res)
  end do

contains

  subroutine unescape(s, d, n)
    character(len=*), intent(in) :: s
    character(len=*), intent(out) :: d
    integer, intent(out) :: n
    integer :: i
    n = 0
    i = 1
    do while (i <= len(s))
      n = n + 1
      if (s(i:i) == '\' .and. i < len(s)) then
        i = i + 1
        select case (s(i:i))
        case ('n'); d(n:n) = achar(10)
        case ('r'); d(n:n) = achar(13)
        case ('t'); d(n:n) = achar(9)
        case default; d(n:n) = s(i:i)
        end select
      else
        d(n:n) = s(i:i)
      end if
      i = i + 1
    end do
  end subroutine

  function c_escape(s) result(r)
    character(len=*), intent(in) :: s
    character(len=:), allocatable :: r
    integer :: i
    r = ''
    do i = 1, len(s)
      select case (s(i:i))
      case ('"'); r = r // '\"'
      case ('\'); r = r // '\\'
      case (achar(9)); r = r // '\t'
      case (achar(10)); r = r // '\n'
      case (achar(13)); r = r // '\r'
      case default; r = r // s(i:i)
      end select
    end do
  end function

  function status_text(ios) result(r)
    integer, intent(in) :: ios
    character(len=:), allocatable :: r
    if (ios == 0) then
      r = 'Ok'
    else if (ios < 0) then
      r = 'End'
    else
      r = 'Error'
    end if
  end function

  ! Fewest digits that read back as the same value, ES form.
  function real_text(x) result(r)
    real(8), intent(in) :: x
    character(len=:), allocatable :: r
    character(len=40) :: b
    character(len=20) :: fm
    real(8) :: y
    integer :: d
    if (x /= x) then
      r = 'NaN'
      return
    else if (x > huge(x)) then
      r = 'Inf'
      return
    else if (x < -huge(x)) then
      r = '-Inf'
      return
    end if
    do d = 1, 17
      write (fm, '(A,I0,A)') '(ES40.', d, 'E3)'
      write (b, fm) x
      read (b, *) y
      if (y == x) exit
    end do
    r = trim(adjustl(b))
  end function

  function int_text(i) result(r)
    integer, intent(in) :: i
    character(len=:), allocatable :: r
    character(len=20) :: b
    write (b, '(I0)') i
    r = trim(b)
  end function

  subroutine do_unit_op(op, r)
    character(len=*), intent(in) :: op
    character(len=:), allocatable, intent(out) :: r
    character(len=maxn) :: line
    integer :: ios, sz
    select case (op)
    case ('B')
      backspace (10, iostat=ios)
      r = 'B'
      if (ios /= 0) r = 'B ' // status_text(ios)
    case ('W')
      rewind (10, iostat=ios)
      r = 'W'
      if (ios /= 0) r = 'W ' // status_text(ios)
    case ('L')
      sz = 0
      read (10, '(A)', advance='no', size=sz, iostat=ios) line
      if (ios == -2) ios = 0
      if (ios == 0) then
        r = 'Ok [' // line(1:sz) // ']'
      else
        r = status_text(ios)
      end if
    case default
      call do_read(op, .false., '', r)
    end select
  end subroutine

  subroutine do_read(sig, from_text, text, r)
    character(len=*), intent(in) :: sig, text
    logical, intent(in) :: from_text
    character(len=:), allocatable, intent(out) :: r
    integer :: iv(8), lvi(8), ios, i, n
    real(8) :: rv(8)
    complex(8) :: zv(8)
    character(len=12) :: av(8)
    logical :: lv(8)
    equivalence (lv, lvi)
    iv = -7
    rv = -7.0d0
    zv = (-7.0d0, -7.0d0)
    av = 'zz'
    lvi = 99
    n = len(sig)
    ios = 0
    if (sig == '0') then
      if (from_text) then
        read (text, *, iostat=ios)
      else
        read (10, *, iostat=ios)
      end if
      r = status_text(ios)
      return
    end if
    if (verify(sig, sig(1:1)) == 0) then
      select case (sig(1:1))
      case ('i')
        if (from_text) then
          read (text, *, iostat=ios) iv(1:n)
        else
          read (10, *, iostat=ios) iv(1:n)
        end if
      case ('r')
        if (from_text) then
          read (text, *, iostat=ios) rv(1:n)
        else
          read (10, *, iostat=ios) rv(1:n)
        end if
      case ('z')
        if (from_text) then
          read (text, *, iostat=ios) zv(1:n)
        else
          read (10, *, iostat=ios) zv(1:n)
        end if
      case ('l')
        if (from_text) then
          read (text, *, iostat=ios) lv(1:n)
        else
          read (10, *, iostat=ios) lv(1:n)
        end if
      case ('a')
        if (from_text) then
          read (text, *, iostat=ios) av(1:n)
        else
          read (10, *, iostat=ios) av(1:n)
        end if
      case default
        r = 'UNSUPPORTED'
        return
      end select
    else
      select case (sig)
      case ('ir')
        if (from_text) then
          read (text, *, iostat=ios) iv(1), rv(1)
        else
          read (10, *, iostat=ios) iv(1), rv(1)
        end if
      case ('ri')
        if (from_text) then
          read (text, *, iostat=ios) rv(1), iv(1)
        else
          read (10, *, iostat=ios) rv(1), iv(1)
        end if
      case ('ai')
        if (from_text) then
          read (text, *, iostat=ios) av(1), iv(1)
        else
          read (10, *, iostat=ios) av(1), iv(1)
        end if
      case ('ia')
        if (from_text) then
          read (text, *, iostat=ios) iv(1), av(1)
        else
          read (10, *, iostat=ios) iv(1), av(1)
        end if
      case ('air')
        if (from_text) then
          read (text, *, iostat=ios) av(1), iv(1), rv(1)
        else
          read (10, *, iostat=ios) av(1), iv(1), rv(1)
        end if
      case ('irzla')
        if (from_text) then
          read (text, *, iostat=ios) iv(1), rv(1), zv(1), lv(1), av(1)
        else
          read (10, *, iostat=ios) iv(1), rv(1), zv(1), lv(1), av(1)
        end if
      case default
        r = 'UNSUPPORTED'
        return
      end select
    end if
    r = status_text(ios)
    block
      integer :: ci(5)
      ci = 0
      do i = 1, n
        select case (sig(i:i))
        case ('i')
          ci(1) = ci(1) + 1
          r = r // ' ' // int_text(iv(ci(1)))
        case ('r')
          ci(2) = ci(2) + 1
          r = r // ' ' // real_text(rv(ci(2)))
        case ('z')
          ci(3) = ci(3) + 1
          r = r // ' (' // real_text(real(zv(ci(3)), 8)) // ',' // real_text(aimag(zv(ci(3)))) // ')'
        case ('l')
          ci(4) = ci(4) + 1
          if (lvi(ci(4)) == 1) then
            r = r // ' T'
          else if (lvi(ci(4)) == 0) then
            r = r // ' F'
          else
            r = r // ' ' // int_text(lvi(ci(4)))
          end if
        case ('a')
          ci(5) = ci(5) + 1
          r = r // ' [' // av(ci(5)) // ']'
        end select
      end do
    end block
  end subroutine

end program read_oracle
